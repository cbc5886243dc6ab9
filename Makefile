# The developers' interface; on a fresh machine `./setup` installs make and
# the rest first (README). `run` builds without the tests, `test` with them,
# in the same build directory.
BUILD_DIR    ?= build
SANITIZE_DIR ?= build-sanitize
FUZZ_DIR     ?= build-fuzz
CLANG_DIR    ?= build-clang
TSAN_DIR     ?= build-tsan
FUZZ_SECONDS ?= 300
JOBS         ?= $(shell nproc)
CMAKE_FLAGS  ?=

CONFIGURE = cmake -S . -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
CTEST     = ctest --output-on-failure --no-tests=error -j $(JOBS) --test-dir

.PHONY: all deps test-deps build run test clang-test format-check sanitize tsan bench fuzz-build fuzz \
        fuzz-smoke clean

all: build

deps:
	@bash scripts/install-deps

test-deps:
	@bash scripts/install-deps --test

build: test-deps
	$(CONFIGURE) -B $(BUILD_DIR) -DPELLORIAND_TESTS=ON
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: deps
	$(CONFIGURE) -B $(BUILD_DIR) -DPELLORIAND_TESTS=OFF
	cmake --build $(BUILD_DIR) -j $(JOBS)
	./$(BUILD_DIR)/server/pelloriand-server

test: build
	$(CTEST) $(BUILD_DIR)

# The same tests built by clang++-14, whose warnings differ from g++'s; both
# compilers must build the tree under -Werror.
clang-test: test-deps
	CC=clang-14 CXX=clang++-14 $(CONFIGURE) -B $(CLANG_DIR) -DPELLORIAND_TESTS=ON
	cmake --build $(CLANG_DIR) -j $(JOBS)
	$(CTEST) $(CLANG_DIR)

# Fails, naming each line, where a tracked C++ file differs from .clang-format.
# Generated tables (first line "// GENERATED ...") keep their generator's layout.
format-check: test-deps
	git ls-files -z '*.cpp' '*.h' | xargs -0 grep -L -Z '^// GENERATED' \
	  | xargs -0 clang-format-14 --dry-run -Werror

sanitize: test-deps
	$(CONFIGURE) -B $(SANITIZE_DIR) -DPELLORIAND_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  $(CTEST) $(SANITIZE_DIR)

# The server and its end-to-end concurrency tests under ThreadSanitizer: the
# I/O threads, the compute pool and the hand-overs between them.
tsan: test-deps
	$(CONFIGURE) -B $(TSAN_DIR) -DPELLORIAND_TSAN=ON
	cmake --build $(TSAN_DIR) -j $(JOBS) --target server_concurrency_e2e_test server_e2e_test
	TSAN_OPTIONS=halt_on_error=1:exitcode=66 $(CTEST) $(TSAN_DIR) -R '^(Stalls|Concurrency)\.'

bench: build
	./$(BUILD_DIR)/bench/pelloriand-bench $(BENCH_ARGS)

# The fuzz targets need clang-14 and its runtimes (fuzz/README.md); each runs
# FUZZ_SECONDS over a corpus seeded from the tests and docs/tools.md.
fuzz-build: test-deps
	CC=clang-14 CXX=clang++-14 $(CONFIGURE) -B $(FUZZ_DIR) -DPELLORIAND_FUZZ=ON
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzzers
	python3 fuzz/make-corpus $(FUZZ_DIR)/corpus

fuzz: fuzz-build
	fuzz/run $(FUZZ_DIR) run_tool $(FUZZ_SECONDS)
	fuzz/run $(FUZZ_DIR) request $(FUZZ_SECONDS)

fuzz-smoke:
	$(MAKE) fuzz FUZZ_SECONDS=60

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR) $(CLANG_DIR) $(TSAN_DIR)

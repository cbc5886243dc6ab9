# The two commands a newcomer needs are `make run` and `make test`; both install
# what is missing first.
BUILD_DIR    ?= build
SANITIZE_DIR ?= build-sanitize
FUZZ_DIR     ?= build-fuzz
FUZZ_SECONDS ?= 300
JOBS         ?= $(shell nproc)
CMAKE_FLAGS  ?=

.PHONY: all deps build run test sanitize bench fuzz-build fuzz fuzz-smoke clean

all: build

deps:
	@bash scripts/install-deps

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: deps build
	./$(BUILD_DIR)/server/pelloriand-server

test: deps build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

$(SANITIZE_DIR)/build.ninja:
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLORIAND_SANITIZE=ON $(CMAKE_FLAGS)

sanitize: deps $(SANITIZE_DIR)/build.ninja
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS)

bench: deps build
	./$(BUILD_DIR)/bench/pelloriand-bench $(BENCH_ARGS)

# The fuzz targets need clang-14 and its runtimes (fuzz/README.md); each runs
# FUZZ_SECONDS over a corpus seeded from the tests and docs/tools.md.
$(FUZZ_DIR)/build.ninja:
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLORIAND_FUZZ=ON $(CMAKE_FLAGS)

fuzz-build: deps $(FUZZ_DIR)/build.ninja
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzzers
	python3 fuzz/make-corpus $(FUZZ_DIR)/corpus

fuzz: fuzz-build
	fuzz/run $(FUZZ_DIR) run_tool $(FUZZ_SECONDS)
	fuzz/run $(FUZZ_DIR) request $(FUZZ_SECONDS)

fuzz-smoke:
	$(MAKE) fuzz FUZZ_SECONDS=60

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR)

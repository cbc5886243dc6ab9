# The two commands a newcomer needs are `make run` and `make test`; both install
# what is missing first.
BUILD_DIR    ?= build
SANITIZE_DIR ?= build-sanitize
JOBS         ?= $(shell nproc)
CMAKE_FLAGS  ?=

.PHONY: all deps build run test sanitize bench clean

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

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR)

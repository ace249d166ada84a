# Thin wrapper around CMake; `make` builds, `make test` builds and runs every test.
BUILD_DIR ?= build
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build test demo sanitize fuzz bench clean

all: build

deps:
	@./scripts/install-deps

$(BUILD_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD_DIR)/CMakeCache.txt

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

# The simulator on 127.0.0.1:4003 and the client against it with
# examples/script.lua; Ctrl-C ends both.
demo: build
	GSADMIN_BUILD_DIR=$(BUILD_DIR) ./scripts/demo

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer;
# any report fails the run.
SANITIZE_DIR ?= build-sanitize
sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DGSADMIN_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 600 -LE soak

# Each fuzzer runs FUZZ_SECONDS on a corpus seeded by the datagram builders.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
# The fuzzers work in a directory of their own, so their paths are absolute.
FUZZ_OUT = $(abspath $(FUZZ_DIR))
fuzz:
	GSADMIN_WITH_FUZZ=1 ./scripts/install-deps
	cmake -S . -B $(FUZZ_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DGSADMIN_FUZZ=ON -DGSADMIN_TESTS=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	mkdir -p $(FUZZ_OUT)/corpus/datagram $(FUZZ_OUT)/corpus/api $(FUZZ_OUT)/artifacts
	$(FUZZ_DIR)/tests/fuzz/gsadmin_fuzz_seeds $(FUZZ_OUT)/corpus/datagram $(FUZZ_OUT)/corpus/api
	$(FUZZ_DIR)/tests/fuzz/gsadmin_datagram_fuzzer -max_total_time=$(FUZZ_SECONDS) \
	  -artifact_prefix=$(FUZZ_OUT)/artifacts/datagram- -print_final_stats=1 $(FUZZ_OUT)/corpus/datagram
	$(FUZZ_DIR)/tests/fuzz/gsadmin_api_fuzzer -max_total_time=$(FUZZ_SECONDS) \
	  -artifact_prefix=$(FUZZ_OUT)/artifacts/api- -print_final_stats=1 $(FUZZ_OUT)/corpus/api

# Throughput, latency, idle cost, dispatch cost and memory against their
# targets, in a Release build of its own; the table goes to bench/results.md.
# BENCH_IDLE_SECONDS=5 makes a quick run.
BENCH_DIR ?= build-bench
BENCH_IDLE_SECONDS ?= 60
bench:
	GSADMIN_WITH_BENCH=1 ./scripts/install-deps
	cmake -S . -B $(BENCH_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DGSADMIN_BENCH=ON
	cmake --build $(BENCH_DIR) -j $(JOBS) --target gsadmin gsadmin_bench
	$(BENCH_DIR)/bench/gsadmin_bench --idle-seconds=$(BENCH_IDLE_SECONDS) \
	  --results=$(CURDIR)/bench/results.md

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR) $(BENCH_DIR)

# Thin wrapper around CMake; `make` builds, `make test` builds and runs every test.
BUILD_DIR ?= build
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")
# Tests run one per core; compiles two more, as ninja does by default, so
# that a compile waiting for the disk leaves no core idle.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD_JOBS ?= $(shell echo $$(( $(JOBS) + 2 )))
CONFIGURE = cmake -S . -B $(BUILD_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The shipped programs; `make demo` and `make package` build only these.
PROGRAMS = gsadmin gsadmin-sim

.PHONY: all deps configure build programs test demo lint package package-check \
        sanitize fuzz bench screenshots clean

all: build

# The build packages only; the test, lint and packaging tools come with the
# targets that use them.
deps:
	@./scripts/install-deps

$(BUILD_DIR)/CMakeCache.txt: | deps
	$(CONFIGURE)

configure: deps $(BUILD_DIR)/CMakeCache.txt

# Everything configured: the tests too when GoogleTest is installed.
build: configure
	cmake --build $(BUILD_DIR) -j $(BUILD_JOBS)

programs: configure
	cmake --build $(BUILD_DIR) -j $(BUILD_JOBS) --target $(PROGRAMS)

# Installs GoogleTest when missing and configures again so that the tests
# are built whatever an earlier configure found. A wrong include fails first,
# before anything is built.
test:
	./scripts/check-layering
	@GSADMIN_WITH_TESTS=1 ./scripts/install-deps
	$(CONFIGURE) -DGSADMIN_TESTS=ON
	cmake --build $(BUILD_DIR) -j $(BUILD_JOBS)
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

# The simulator on 127.0.0.1:4003 and the client against it with
# the scripts of examples/, the client on the terminal with its console; Ctrl-C
# ends both, with status 0 (scripts/demo gives the client the Ctrl-C alone).
demo: programs
	GSADMIN_BUILD_DIR=$(BUILD_DIR) ./scripts/demo

# luacheck, shellcheck, mandoc and systemd-analyze over what the project
# ships; see scripts/lint.
lint: programs
	@GSADMIN_WITH_LINT=1 ./scripts/install-deps
	GSADMIN_BUILD_DIR=$(BUILD_DIR) ./scripts/lint

# The Debian package, $(BUILD_DIR)/gsadmin_VERSION_amd64.deb.
package: programs
	@GSADMIN_WITH_PACKAGE=1 ./scripts/install-deps
	cd $(BUILD_DIR) && cpack -G DEB

# lintian over the package, and its programs run from an unpacked copy.
package-check: package
	@GSADMIN_WITH_LINT=1 ./scripts/install-deps
	GSADMIN_BUILD_DIR=$(BUILD_DIR) ./scripts/check-package

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer;
# any report fails the run.
SANITIZE_DIR ?= build-sanitize
sanitize:
	@GSADMIN_WITH_TESTS=1 ./scripts/install-deps
	cmake -S . -B $(SANITIZE_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DGSADMIN_SANITIZE=ON \
	  -DGSADMIN_TESTS=ON
	cmake --build $(SANITIZE_DIR) -j $(BUILD_JOBS)
	cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 600 -LE soak

# Each fuzzer runs FUZZ_SECONDS on a corpus seeded by gsadmin_fuzz_seeds.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
# The fuzzers work in a directory of their own, so their paths are absolute.
FUZZ_OUT = $(abspath $(FUZZ_DIR))
# Inputs share a session whose caches grow, which a leak check after every
# input would take for a leak (and scan the heap for): leaks are checked at
# exit instead, once the session is gone.
FUZZ_FLAGS = -max_total_time=$(FUZZ_SECONDS) -detect_leaks=0 -print_final_stats=1
fuzz:
	GSADMIN_WITH_FUZZ=1 ./scripts/install-deps
	cmake -S . -B $(FUZZ_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DGSADMIN_FUZZ=ON -DGSADMIN_TESTS=OFF
	cmake --build $(FUZZ_DIR) -j $(BUILD_JOBS)
	mkdir -p $(FUZZ_OUT)/corpus/datagram $(FUZZ_OUT)/corpus/api $(FUZZ_OUT)/corpus/db \
	  $(FUZZ_OUT)/corpus/console $(FUZZ_OUT)/corpus/http $(FUZZ_OUT)/artifacts
	$(FUZZ_DIR)/tests/fuzz/gsadmin_fuzz_seeds $(FUZZ_OUT)/corpus/datagram $(FUZZ_OUT)/corpus/api \
	  $(FUZZ_OUT)/corpus/db $(FUZZ_OUT)/corpus/console $(FUZZ_OUT)/corpus/http
	$(FUZZ_DIR)/tests/fuzz/gsadmin_datagram_fuzzer $(FUZZ_FLAGS) \
	  -artifact_prefix=$(FUZZ_OUT)/artifacts/datagram- $(FUZZ_OUT)/corpus/datagram
	$(FUZZ_DIR)/tests/fuzz/gsadmin_api_fuzzer $(FUZZ_FLAGS) \
	  -artifact_prefix=$(FUZZ_OUT)/artifacts/api- $(FUZZ_OUT)/corpus/api
	$(FUZZ_DIR)/tests/fuzz/gsadmin_db_fuzzer $(FUZZ_FLAGS) \
	  -artifact_prefix=$(FUZZ_OUT)/artifacts/db- $(FUZZ_OUT)/corpus/db
	$(FUZZ_DIR)/tests/fuzz/gsadmin_console_fuzzer $(FUZZ_FLAGS) \
	  -artifact_prefix=$(FUZZ_OUT)/artifacts/console- $(FUZZ_OUT)/corpus/console
	$(FUZZ_DIR)/tests/fuzz/gsadmin_http_fuzzer $(FUZZ_FLAGS) \
	  -artifact_prefix=$(FUZZ_OUT)/artifacts/http- $(FUZZ_OUT)/corpus/http

# Throughput, latency, idle cost, dispatch cost and memory against their
# targets, in a Release build of its own; the table goes to bench/results.md.
# BENCH_IDLE_SECONDS=5 makes a quick run; BENCH_BEFORE=PATH also floods the
# doors of the binary at PATH (an earlier build), beside this one, and runs
# the bench beside it (PATH's directory/bench/gsadmin_bench) for its handler
# path and ban check figures, and measures it beside this one for the limits
# with everything on (group (k)), see bench/results.md. BENCH_SOAK_SECONDS
# is how long memory is watched under a steady load (0: not at all);
# BENCH_OUTAGE_SECONDS how long each partial outage of group (n) lasts (0:
# none is run; the reconnection with a million bans is run all the same).
BENCH_DIR ?= build-bench
BENCH_IDLE_SECONDS ?= 60
BENCH_SOAK_SECONDS ?= 300
BENCH_OUTAGE_SECONDS ?= 60
BENCH_BEFORE ?=
bench:
	GSADMIN_WITH_TESTS=1 GSADMIN_WITH_BENCH=1 ./scripts/install-deps
	cmake -S . -B $(BENCH_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DGSADMIN_BENCH=ON \
	  -DGSADMIN_TESTS=ON
	cmake --build $(BENCH_DIR) -j $(BUILD_JOBS) --target gsadmin gsadmin_bench
	$(BENCH_DIR)/bench/gsadmin_bench --idle-seconds=$(BENCH_IDLE_SECONDS) \
	  --soak-seconds=$(BENCH_SOAK_SECONDS) --outage-seconds=$(BENCH_OUTAGE_SECONDS) \
	  $(if $(BENCH_BEFORE),--before=$(BENCH_BEFORE)) --results=$(CURDIR)/bench/results.md

# The web panel's pictures in docs/panel/, taken by its browser test (headless
# Chromium at a fixed window size) against the client and the simulator.
# Debian's interpreter, whose packages hold Selenium.
PYTHON ?= $(shell test -x /usr/bin/python3 && echo /usr/bin/python3 || echo python3)
screenshots: programs
	@GSADMIN_WITH_TESTS=1 ./scripts/install-deps
	GSADMIN_SCREENSHOTS=$(CURDIR)/docs/panel $(PYTHON) tests/browser/panel_browser_test.py \
	  --gsadmin $(BUILD_DIR)/gsadmin --sim $(BUILD_DIR)/gsadmin-sim

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR) $(BENCH_DIR)

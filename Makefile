# Thin wrapper for the README commands: install what is missing, configure, build, run or test.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60

# What building and running KRV needs; the tests, benchmarks and sanitizer
# and fuzzing builds need the second list too.
RUN_PACKAGES = cmake ninja-build g++ make pkg-config qt6-base-dev libgl-dev libasound2-dev libdw1
TEST_PACKAGES = libgtest-dev libgmock-dev googletest libbenchmark-dev libfftw3-dev \
                dbus-daemon dbus-bin clang libclang-rt-14-dev python3-numpy python3-pytest \
                desktop-file-utils appstream dpkg-dev file \
                pybind11-dev python3-dev python3-dask python3-distributed python3-pandas \
                python3-venv python3-pip python3-setuptools python3-wheel

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps deps-test configure build run package test test-stress test-tsan test-asan bench gallery fuzz clean

define install_missing
	@missing=""; \
	for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install_missing,$(RUN_PACKAGES))

deps-test: deps
	$(call install_missing,$(TEST_PACKAGES))

# A build folder configured by `make run` alone has no tests; `make test`
# turns them on in the same folder.
configure: deps
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja -DKRV_BUILD_TESTS=OFF $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	cd $(BUILD)/bin && LD_LIBRARY_PATH=$(CURDIR)/$(BUILD)/bin$${LD_LIBRARY_PATH:+:$$LD_LIBRARY_PATH} \
	  VELMOR_SIM_MODULE=$${VELMOR_SIM_MODULE-Halvek} ./krv

# The Debian package of what `cmake --install` installs (build/krv_*.deb).
package: build
	cmake --build $(BUILD) -j$(JOBS) --target package

# configure-tests BUILD_DIR EXTRA_FLAGS
define configure_tests
	cmake -S . -B $(1) -G Ninja -DKRV_BUILD_TESTS=ON $(2) $(CMAKE_FLAGS) > /dev/null
	cmake --build $(1) -j$(JOBS)
endef

test: deps-test
	$(call configure_tests,$(BUILD),)
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 600

# The suite three times over while two busy loops keep both cores occupied,
# as on a shared or slow machine: a test that waits a fixed time instead of
# for its condition fails here. The loops end with the run, however it ends.
STRESS_LOAD = while :; do :; done
test-stress: deps-test
	$(call configure_tests,$(BUILD),)
	@sh -c '$(STRESS_LOAD)' & load1=$$!; \
	  sh -c '$(STRESS_LOAD)' & load2=$$!; \
	  trap 'kill $$load1 $$load2 2>/dev/null; exit 130' INT TERM HUP; \
	  (cd $(BUILD) && ctest --output-on-failure -j$(JOBS) --repeat until-fail:3 --timeout 900); \
	  status=$$?; kill $$load1 $$load2; exit $$status

# The lock-free and threaded parts under ThreadSanitizer: only their
# programs are built.
test-tsan: deps-test
	cmake -S . -B $(BUILD)-tsan -G Ninja -DKRV_BUILD_TESTS=ON -DKRV_SANITIZE=thread $(CMAKE_FLAGS) > /dev/null
	cmake --build $(BUILD)-tsan -j$(JOBS) --target tsan_tests
	cd $(BUILD)-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --output-on-failure -j$(JOBS) --timeout 900 -L tsan

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# except the crash reports, which install signal handlers of their own.
test-asan: deps-test
	$(call configure_tests,$(BUILD)-asan,-DKRV_SANITIZE=address$(comma)undefined)
	cd $(BUILD)-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j$(JOBS) --timeout 900 -LE crash

bench: deps-test
	$(call configure_tests,$(BUILD),)
	@for b in $(BUILD)/bin/bench_*; do [ -x "$$b" ] && "$$b" --benchmark_min_time=0.2 || exit 1; done
	@KRV_BIN_DIR=$(CURDIR)/$(BUILD)/bin /usr/bin/python3 bench/python/vrdread_bench.py
	@KRV_BIN_DIR=$(CURDIR)/$(BUILD)/bin /usr/bin/python3 bench/python/analysis_bench.py

# The parsers of outside input under libFuzzer (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer), each target for FUZZ_SECONDS. New inputs go to
# $(BUILD)-fuzz/corpus/NAME (the committed seeds in tests/fuzz/corpus are only
# read), crashing inputs to $(BUILD)-fuzz/crashes/NAME/, each log to
# $(BUILD)-fuzz/NAME.log, whose last status line is printed.
FUZZ_FLAGS = -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
fuzz: deps-test
	cmake -S . -B $(BUILD)-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DKRV_BUILD_TESTS=OFF -DKRV_FUZZ=ON -DKRV_SANITIZE=address$(comma)undefined $(CMAKE_FLAGS) > /dev/null
	cmake --build $(BUILD)-fuzz -j$(JOBS) --target fuzz_targets
	@while read name maxlen seeds; do \
	  mkdir -p $(BUILD)-fuzz/corpus/$$name $(BUILD)-fuzz/crashes/$$name; \
	  echo "Fuzzing $$name for $(FUZZ_SECONDS) s"; \
	  UBSAN_OPTIONS=print_stacktrace=1 $(BUILD)-fuzz/bin/$${name}_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=$$maxlen $(FUZZ_FLAGS) \
	    -artifact_prefix=$(BUILD)-fuzz/crashes/$$name/ $(BUILD)-fuzz/corpus/$$name $$seeds \
	    > $(BUILD)-fuzz/$$name.log 2>&1 \
	    || { tail -n 60 $(BUILD)-fuzz/$$name.log; echo "$$name: see $(BUILD)-fuzz/crashes/$$name/"; exit 1; }; \
	  grep -E '^#[0-9]+' $(BUILD)-fuzz/$$name.log | tail -n 1; \
	  grep -E '^stat::number_of_executed_units' $(BUILD)-fuzz/$$name.log; \
	done < $(BUILD)-fuzz/fuzz_targets.txt

gallery: build
	cmake --build $(BUILD) --target gallery

clean:
	rm -rf $(BUILD) $(BUILD)-tsan $(BUILD)-asan $(BUILD)-fuzz

comma := ,

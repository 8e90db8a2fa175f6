# Thin wrapper for the README commands: install what is missing, configure, build, run or test.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

PACKAGES = cmake ninja-build g++ make pkg-config qt6-base-dev libgl-dev libasound2-dev \
           libgtest-dev libgmock-dev googletest libbenchmark-dev libfftw3-dev libdw1 \
           dbus-daemon dbus-bin

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps configure build run test bench gallery clean

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

configure: deps
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	cd $(BUILD)/bin && LD_LIBRARY_PATH=$(CURDIR)/$(BUILD)/bin$${LD_LIBRARY_PATH:+:$$LD_LIBRARY_PATH} \
	  VELMOR_SIM_MODULE=$${VELMOR_SIM_MODULE-Halvek} ./krv

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 600

bench: build
	@for b in $(BUILD)/bin/bench_*; do [ -x "$$b" ] && "$$b" --benchmark_min_time=0.2 || exit 1; done

gallery: build
	cmake --build $(BUILD) --target gallery

clean:
	rm -rf $(BUILD)

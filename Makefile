# Entry points for a fresh Debian 12 machine or a developer's tree:
#   make test   install what is missing, build the native, x86-64 and i686
#               trees, run the native tests, then the Windows tests under Wine
#   make demo   install what is missing, build the x86-64 tree, run tools/run-demo
#   make bench  the benchmarks: the native ones (file loading, hex grid, USB
#               run), then a serial job over a COM port under Wine
#   make build  the three builds without running anything
#   make clean  remove the build trees (and with them the Wine prefixes)
#
# Build folders are configured once and reused; Ninja re-runs CMake by itself
# when a CMakeLists.txt changes.

SHELL := /bin/bash
.SHELLFLAGS := -euo pipefail -c
.DEFAULT_GOAL := test
# One recipe at a time: the trees share the two cores, and the test output
# must end with CTest's summary.
.NOTPARALLEL:
MAKEFLAGS += --no-print-directory

JOBS ?= 2
PRESETS := native win64 win32
CONFIGURE := $(addprefix configure-,$(PRESETS))
BUILD := $(addprefix build-,$(PRESETS))

.PHONY: test demo bench build deps clean $(CONFIGURE) $(BUILD)

deps:
	@tools/install-deps

$(CONFIGURE): configure-%: deps
	@if [[ ! -f build/$*/build.ninja ]]; then cmake --preset $*; fi

$(BUILD): build-%: configure-%
	cmake --build --preset $* -j $(JOBS)

build: $(BUILD)

# The i686 tree is built before any test runs, so the last lines printed are
# the summary of the Windows tests.
test: build
	ctest --preset native -j $(JOBS)
	ctest --preset win64

demo: build-win64
	tools/run-demo

bench: build-native build-win64
	build/native/bench/tarn_bench
	tools/with-pty-bridge build/win64/host/tarn_pty_bridge --fast COM1=P89C51RA2X -- \
	  tools/wine-run build/win64/bin/tarnload_serial_bench.exe

clean:
	rm -rf build/native build/win64 build/win32

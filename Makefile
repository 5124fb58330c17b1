# make       builds both trees into build/
# make run   sets up, builds and starts Pexaron.exe under Wine
# make test  checks the include graph and the formatting, sets up, builds both trees and runs
#            every test
# make check checks the include graph and the formatting only (seconds, no build)
# make bench builds and runs the benchmarks (BENCH=kernels for one) and prints their table
BUILD ?= build
export PX_BUILD_DIR := $(abspath $(BUILD))
# Dependencies and reference suites are shared by every build folder of the checkout.
export PX_DEPS_DIR ?= $(abspath build/deps)
JPEG_PREFIX := $(PX_DEPS_DIR)/libjpeg-turbo

.PHONY: all setup native win32 win64 fuzz check test bench run clean

all: native win32

setup:
	@scripts/setup.sh

$(BUILD)/native/build.ninja: | setup
	@cmake -S . -B $(BUILD)/native -G Ninja -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc \
	  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null

$(BUILD)/win32/build.ninja: | setup
	@cmake -S . -B $(BUILD)/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	  -DPX_JPEG_PREFIX=$(JPEG_PREFIX) -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null

native: setup $(BUILD)/native/build.ninja
	@cmake --build $(BUILD)/native

win32: setup $(BUILD)/win32/build.ninja
	@cmake --build $(BUILD)/win32

# A 64-bit build of the same sources, for running the Windows tests on machines that cannot
# run 32-bit programs (see scripts/can-run-32bit.sh); the product itself is the win32 tree.
$(BUILD)/win64/build.ninja: | setup
	@cmake -S . -B $(BUILD)/win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
	  -DPX_JPEG_PREFIX=$(PX_DEPS_DIR)/libjpeg-turbo-x86_64 -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null

win64: setup $(BUILD)/win64/build.ninja
	@cmake --build $(BUILD)/win64

fuzz: setup
	@cmake -S . -B $(BUILD)/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
	  -DPX_FUZZ=ON >/dev/null
	@cmake --build $(BUILD)/fuzz

# A cycle or an unformatted file fails in seconds, before anything is built.
check:
	@python3 scripts/check-includes.py
	@scripts/check-format.sh

test: check
	@$(MAKE) --no-print-directory all fuzz
	@scripts/run-tests.sh

bench: setup $(BUILD)/native/build.ninja
	@scripts/run-bench.sh $(BENCH)

run: setup win32
	@scripts/run-pexaron.sh

clean:
	rm -rf $(BUILD)/native $(BUILD)/win32 $(BUILD)/win64 $(BUILD)/fuzz

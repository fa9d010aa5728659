# The two commands of the README: `make run` and `make test`. Both install what is missing first.
PRESET ?= default
BUILD_DIR := build/$(PRESET)
ARGS ?=

.PHONY: setup configure build run test bench fuzz resources manual clean

setup:
	@tools/setup.sh

configure: setup
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

# The program alone: neither the test suite nor the tests' photographs.
run:
	@tools/setup.sh program
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET) --target grinsley
	@tools/run.sh $(BUILD_DIR)/src/app/grinsley $(ARGS)

test: build
	@ctest --preset $(PRESET)

bench:
	@tools/setup.sh bench
	@cmake --preset bench >/dev/null
	@cmake --build --preset bench
	@build/bench/bench/grinsley_bench

fuzz: setup
	@cmake -S fuzz -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build/fuzz
	@mkdir -p build/fuzz/corpus
	@build/fuzz/json_fuzzer -max_total_time=$${FUZZ_SECONDS:-120} build/fuzz/corpus fuzz/corpus
	@mkdir -p build/fuzz/corpus-ads
	@build/fuzz/ad_parser_fuzzer -max_total_time=$${FUZZ_SECONDS:-120} build/fuzz/corpus-ads fuzz/corpus-ads

# Regenerates the icons, masks and sample photo under resources/images.
resources: setup
	@cmake -S . -B build/tools -G Ninja -DGRINSLEY_BUILD_TOOLS=ON -DGRINSLEY_BUILD_TESTS=OFF >/dev/null
	@cmake --build build/tools --target grinsley_resource_generator
	@QT_QPA_PLATFORM=offscreen build/tools/tools/resource_generator/grinsley_resource_generator resources/images resources/icons

# Retakes the user manual's pictures and the tutorial video from the running program into resources/html.
manual:
	@tools/setup.sh manual
	@cmake -S . -B build/tools -G Ninja -DGRINSLEY_BUILD_TOOLS=ON -DGRINSLEY_BUILD_TESTS=OFF >/dev/null
	@cmake --build build/tools --target grinsley_manual_screens
	@QT_QPA_PLATFORM=offscreen build/tools/tools/manual_screens/grinsley_manual_screens resources/html/manual
	@QT_QPA_PLATFORM=offscreen build/tools/tools/manual_screens/grinsley_manual_screens --video resources/html/Tutorial.webm

clean:
	rm -rf build

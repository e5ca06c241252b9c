# Front door: everything goes through CMake + Ninja in build/.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all deps build test run record bench fuzz windows clean

all: build

deps:
	@tools/setup-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

run: build
	@tools/run-demo $(BUILD)

record: build
	@tools/record-demo $(BUILD)

bench: build
	cmake --build $(BUILD) --target benchmarks
	@tools/run-bench $(BUILD)

fuzz: deps
	@tools/run-fuzz

clean:
	rm -rf $(BUILD)

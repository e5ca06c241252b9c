# Front door: everything goes through CMake + Ninja in build/.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all deps build data test run record bench fuzz threads leaks windows windows64 wine \
	web serve-web web-test clean

all: build

deps:
	@tools/setup-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Only the show's data (and the tools that make it), for builds that need no more.
data: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target data

run: build
	@tools/run-demo $(BUILD)

record: build
	@tools/setup-deps --record
	@tools/record-demo $(BUILD)

bench: build
	cmake --build $(BUILD) --target benchmarks
	@tools/run-bench $(BUILD)

fuzz: deps
	@tools/run-fuzz

# The thread checker over the tests and the whole show (its own build in build-tsan/),
# and the leak checker over the whole show.
threads: deps
	@tools/check-threads

leaks: build
	@tools/check-leaks $(BUILD)

# 32-bit Windows: vd.exe, spin.exe and mpadec.exe in build-windows/bin, cross-compiled
# against the system's own headers and import libraries.
WINDOWS_BUILD ?= build-windows
WINDOWS_PROGRAMS = vd.exe spin.exe mpadec.exe

windows:
	@tools/setup-deps --windows
	cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/windows-toolchain.cmake
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	@cd $(WINDOWS_BUILD)/bin && file $(WINDOWS_PROGRAMS)

# The same programs for 64-bit Windows, in build-windows64/bin: the build that wine64 runs.
WINDOWS64_BUILD ?= build-windows64

windows64:
	@tools/setup-deps --windows64
	cmake -S . -B $(WINDOWS64_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/windows64-toolchain.cmake
	cmake --build $(WINDOWS64_BUILD) -j $(JOBS)
	@cd $(WINDOWS64_BUILD)/bin && file $(WINDOWS_PROGRAMS)

# The 64-bit programs under wine64 in a virtual X screen, compared with the stand-in running
# the same programs headless (tools/check-wine; everything it writes stays in build-wine/).
wine: build windows64
	@tools/setup-deps --wine
	@tools/check-wine $(BUILD) $(WINDOWS64_BUILD) build-wine

# The show in a web page, compiled with Debian's Emscripten into build-web/ (its data from
# the native build). Emscripten's JavaScript optimiser needs Debian's acorn, which a Node.js
# that is not Debian's own finds only through NODE_PATH.
WEB_BUILD ?= build-web
WEB_ENV = NODE_PATH=/usr/share/nodejs

web: data
	@tools/setup-deps --web
	$(WEB_ENV) emcmake cmake -S . -B $(WEB_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DPRISMATEL_DATA_DIR=$(CURDIR)/$(BUILD)/data
	$(WEB_ENV) cmake --build $(WEB_BUILD) -j $(JOBS)
	@echo "The page: $(WEB_BUILD)/index.html (make serve-web serves it)"

# Serves build-web/ on http://127.0.0.1:8080/ with the headers its threads need.
WEB_PORT ?= 8080
serve-web: web
	@tools/serve-web $(WEB_BUILD) $(WEB_PORT)

# The page in headless Chromium, checked against the native program's recording.
web-test: web build
	@tools/check-web $(BUILD) $(WEB_BUILD)

clean:
	rm -rf $(BUILD)

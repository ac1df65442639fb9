# Entry points. Each one first installs what is missing (scripts/setup.sh).
#   make run      build, then run Nimbrel's demo under Wine (see README)
#   make test     build the three builds and run every test
#   make build    build the three builds (native, fuzz, windows)
#   make bench    native benchmarks
#   make fuzz     run every fuzz target for FUZZ_SECONDS (default 60) each
#   make preview  render real frames into docs/*.png
#   make format   format the C++ sources (make test checks they are)
#   make dist     the download: $(BUILD)/dist/Nimbrel-<version>-win-x64.zip and SHA256SUMS
BUILD ?= build
NATIVE  := $(BUILD)/native
WINDOWS := $(BUILD)/windows
BENCH   := $(BUILD)/bench
FUZZ    := $(BUILD)/fuzz
FUZZ_SECONDS ?= 60
PREFIX  := $(BUILD)/wineprefix
JOBS    ?= $(shell nproc)
CLANG_FORMAT := clang-format-14
SOURCES = $(shell find src tools tests -name '*.cpp' -o -name '*.h' | sort)

.PHONY: setup build build-native build-windows build-fuzz configure-windows test test-native \
        test-fuzz test-windows format format-check bench fuzz preview run dist clean

setup:
	@scripts/setup.sh

build: build-native build-fuzz build-windows

build-native: setup
	cmake --preset native -B $(NATIVE) >/dev/null
	cmake --build $(NATIVE) -j $(JOBS)

build-fuzz: setup
	cmake --preset fuzz -B $(FUZZ) >/dev/null
	cmake --build $(FUZZ) -j $(JOBS)

configure-windows: setup
	cmake --preset windows -B $(WINDOWS) -DNIMBREL_DIST_DIR=$(abspath $(BUILD))/dist >/dev/null

build-windows: configure-windows
	cmake --build $(WINDOWS) -j $(JOBS)

dist: configure-windows
	cmake --build $(WINDOWS) -j $(JOBS) --target dist

test: build
	$(MAKE) --no-print-directory format-check test-native test-fuzz test-windows

format: setup
	$(CLANG_FORMAT) -i $(SOURCES)

format-check: setup
	$(CLANG_FORMAT) --dry-run --Werror $(SOURCES)

test-native:
	cd $(NATIVE) && ctest --output-on-failure -j $(JOBS)

# The fuzz targets replay their committed corpora (reproducers included).
test-fuzz:
	cd $(FUZZ) && ctest --output-on-failure -j $(JOBS)

test-windows:
	scripts/with-wine.sh $(PREFIX) sh -c 'cd $(WINDOWS) && ctest --output-on-failure'

bench: setup
	cmake --preset bench -B $(BENCH) >/dev/null
	cmake --build $(BENCH) -j $(JOBS)
	$(BENCH)/tests/feed/bench/feed_bench

fuzz: build-fuzz
	scripts/fuzz.sh $(FUZZ) $(FUZZ_SECONDS)

preview: build-windows
	scripts/with-wine.sh $(PREFIX) scripts/wine-exec.sh $(WINDOWS)/tools/nimbrel-preview.exe docs

run: build-windows
	scripts/with-wine.sh $(PREFIX) scripts/run-demo.sh $(WINDOWS) $(BUILD)/run

clean:
	rm -rf $(BUILD)

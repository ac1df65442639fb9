# Entry points. Each one first installs what is missing (scripts/setup.sh).
#   make run      build, then run Nimbrel's demo under Wine (see README)
#   make test     build both builds and run every test
#   make build    build both builds
#   make bench    native benchmarks
#   make preview  render real frames into docs/*.png
#   make format   format the C++ sources (make test checks they are)
#   make dist     the download: $(BUILD)/dist/Nimbrel-<version>-win-x64.zip and SHA256SUMS
BUILD ?= build
NATIVE  := $(BUILD)/native
WINDOWS := $(BUILD)/windows
BENCH   := $(BUILD)/bench
PREFIX  := $(BUILD)/wineprefix
JOBS    ?= $(shell nproc)
CLANG_FORMAT := clang-format-14
SOURCES = $(shell find src tools tests -name '*.cpp' -o -name '*.h' | sort)

.PHONY: setup build build-native build-windows configure-windows test test-native test-windows \
        format format-check bench preview run dist clean

setup:
	@scripts/setup.sh

build: build-native build-windows

build-native: setup
	cmake --preset native -B $(NATIVE) >/dev/null
	cmake --build $(NATIVE) -j $(JOBS)

configure-windows: setup
	cmake --preset windows -B $(WINDOWS) -DNIMBREL_DIST_DIR=$(abspath $(BUILD))/dist >/dev/null

build-windows: configure-windows
	cmake --build $(WINDOWS) -j $(JOBS)

dist: configure-windows
	cmake --build $(WINDOWS) -j $(JOBS) --target dist

test: build
	$(MAKE) --no-print-directory format-check test-native test-windows

format: setup
	$(CLANG_FORMAT) -i $(SOURCES)

format-check: setup
	$(CLANG_FORMAT) --dry-run --Werror $(SOURCES)

test-native:
	cd $(NATIVE) && ctest --output-on-failure -j $(JOBS)

test-windows:
	scripts/with-wine.sh $(PREFIX) sh -c 'cd $(WINDOWS) && ctest --output-on-failure'

bench: setup
	cmake --preset bench -B $(BENCH) >/dev/null
	cmake --build $(BENCH) -j $(JOBS)
	$(BENCH)/tests/feed/bench/feed_bench

preview: build-windows
	scripts/with-wine.sh $(PREFIX) scripts/wine-exec.sh $(WINDOWS)/tools/nimbrel-preview.exe docs

run: build-windows
	scripts/with-wine.sh $(PREFIX) scripts/run-demo.sh $(WINDOWS) $(BUILD)/run

clean:
	rm -rf $(BUILD)

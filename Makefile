# Entry points. Each one first installs what is missing (scripts/setup.sh).
#   make run      build, then run Nimbrel's demo under Wine (see README)
#   make test     build both builds and run every test
#   make build    build both builds
#   make bench    native benchmarks
#   make preview  render real frames into docs/*.png
BUILD ?= build
NATIVE  := $(BUILD)/native
WINDOWS := $(BUILD)/windows
BENCH   := $(BUILD)/bench
PREFIX  := $(BUILD)/wineprefix
JOBS    ?= $(shell nproc)

.PHONY: setup build build-native build-windows test test-native test-windows bench preview run clean

setup:
	@scripts/setup.sh

build: build-native build-windows

build-native: setup
	cmake --preset native -B $(NATIVE) >/dev/null
	cmake --build $(NATIVE) -j $(JOBS)

build-windows: setup
	cmake --preset windows -B $(WINDOWS) >/dev/null
	cmake --build $(WINDOWS) -j $(JOBS)

test: build
	$(MAKE) --no-print-directory test-native test-windows

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

# Entry points. Each one first installs what is missing (scripts/setup.sh).
#   make run      build, then run Nimbrel's demo under Wine (see README)
#   make test     build the three builds and run every test
#   make build    build the three builds (native, fuzz, windows)
#   make bench    benchmarks: native, and the band's tick and frame under Wine
#   make soak     the router-source publisher for SOAK_MINUTES (10) under Wine: memory, recovery, resets
#   make fuzz     run every fuzz target for FUZZ_SECONDS (default 60) each
#   make coverage both builds with coverage counters, the whole suite, a report
#   make preview  render real frames into docs/*.png
#   make format   format the C++ sources (make test checks they are)
#   make lint     clang-tidy over src/ and tools/, both builds (make test runs it)
#   make dist     the download: $(BUILD)/dist/Nimbrel-<version>-win-x64.zip, the installer
#                 Nimbrel-<version>-setup.exe and SHA256SUMS
BUILD ?= build
NATIVE  := $(BUILD)/native
WINDOWS := $(BUILD)/windows
BENCH   := $(BUILD)/bench
FUZZ    := $(BUILD)/fuzz
FUZZ_SECONDS ?= 60
SOAK_MINUTES ?= 10
COVERAGE := $(BUILD)/coverage
PREFIX  := $(BUILD)/wineprefix
JOBS    ?= $(shell nproc)
CLANG_FORMAT := clang-format-14
SOURCES = $(shell find src tools tests -name '*.cpp' -o -name '*.h' | sort)

.PHONY: setup build build-native build-windows build-fuzz configure-windows test test-native \
        test-fuzz test-windows format format-check check-rooms lint bench soak coverage fuzz preview run dist clean

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
	$(MAKE) --no-print-directory format-check check-rooms lint test-native test-fuzz test-windows

format: setup
	$(CLANG_FORMAT) -i $(SOURCES)

format-check: setup
	$(CLANG_FORMAT) --dry-run --Werror $(SOURCES)

# Each room of src/ includes only the rooms docs/architecture.md allows it.
check-rooms:
	scripts/check-rooms.sh

# Both builds' compile commands: configured here when missing, nothing built.
lint: setup
	cmake --preset native -B $(NATIVE) >/dev/null
	$(MAKE) --no-print-directory configure-windows
	scripts/lint.sh $(NATIVE) $(WINDOWS) $(JOBS)

test-native:
	cd $(NATIVE) && ctest --output-on-failure -j $(JOBS)

# The fuzz targets replay their committed corpora (reproducers included).
test-fuzz:
	cd $(FUZZ) && ctest --output-on-failure -j $(JOBS)

test-windows:
	scripts/with-wine.sh $(PREFIX) sh -c 'cd $(WINDOWS) && ctest --output-on-failure'

bench: build-windows
	cmake --preset bench -B $(BENCH) >/dev/null
	cmake --build $(BENCH) -j $(JOBS)
	$(BENCH)/bench/feed_bench
	scripts/with-wine.sh $(PREFIX) sh -c 'rc=0; for b in $(WINDOWS)/bench/*.exe; do \
	  echo "== $$b"; scripts/wine-exec.sh "$$b" --gtest_brief=1 || rc=1; done; exit $$rc'

soak: build-windows
	scripts/with-wine.sh $(PREFIX) scripts/wine-exec.sh \
	  $(WINDOWS)/tests/publisher/nimbrel-router-soak.exe $(SOAK_MINUTES)

# The Windows test executables write their counters (.gcda) when they exit, to
# the absolute path the compiler gave them, /work/... as seen from Linux. Under
# Wine a path that starts with a slash is taken on the current drive, which is
# not always Z: (Wine's view of /); GCOV_PREFIX=Z: puts every one on Z:, that
# is, exactly where the build left its notes (.gcno).
coverage: setup
	cmake --preset coverage-native -B $(COVERAGE)/native >/dev/null
	cmake --build $(COVERAGE)/native -j $(JOBS)
	cmake --preset coverage-windows -B $(COVERAGE)/windows >/dev/null
	cmake --build $(COVERAGE)/windows -j $(JOBS)
	find $(COVERAGE) -name '*.gcda' -delete
	cd $(COVERAGE)/native && ctest --output-on-failure -j $(JOBS)
	GCOV_PREFIX=Z: scripts/with-wine.sh $(PREFIX) sh -c 'cd $(COVERAGE)/windows && ctest --output-on-failure'
	scripts/coverage-report.sh $(COVERAGE)

fuzz: build-fuzz
	scripts/fuzz.sh $(FUZZ) $(FUZZ_SECONDS)

preview: build-windows
	scripts/with-wine.sh $(PREFIX) scripts/wine-exec.sh $(WINDOWS)/tools/nimbrel-preview.exe docs

run: build-windows
	scripts/with-wine.sh $(PREFIX) scripts/run-demo.sh $(WINDOWS) $(BUILD)/run

clean:
	rm -rf $(BUILD)

# Entry points: `make run` and `make test` work on a fresh Debian 12 machine.
PRESET ?= default
BUILD_DIR := build/$(PRESET)

.PHONY: all deps deps-run deps-package configure build build-run run check-display test test-asan fuzz storm desktops package bench lint format clean windows test-windows

all: build

# Everything, tests included.
deps:
	@bash scripts/install-deps.sh test

# Only what building and running need: a machine without GoogleTest builds without the tests
# instead of installing them.
deps-run:
	@bash scripts/install-deps.sh run

deps-package:
	@bash scripts/install-deps.sh package

TESTING = $$(bash scripts/install-deps.sh --have test && echo ON || echo OFF)

configure: deps
	@cmake --preset $(PRESET) -DBUILD_TESTING=ON >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

# The program alone, with the tests where their packages are there.
build-run:
	@cmake --preset $(PRESET) -DBUILD_TESTING=$(TESTING) >/dev/null
	@cmake --build --preset $(PRESET)

run: check-display deps-run
	@$(MAKE) --no-print-directory build-run
	@$(BUILD_DIR)/src/app/kadrill

# Checked before anything is installed or built, so a headless shell learns it at once.
check-display:
	$(if $(DISPLAY)$(WAYLAND_DISPLAY),,$(error Kadrill needs a display and none is set (DISPLAY is empty); on a machine without a screen run: xvfb-run make run))

# Every test, then again built with AddressSanitizer and UndefinedBehaviorSanitizer.
test: build
	@ctest --preset $(PRESET)
	@$(MAKE) --no-print-directory test-asan

test-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan
	@ctest --preset asan

# A fuzzing campaign: FUZZ_SECONDS per target (default 600); FUZZ_MERGE=1 keeps what it
# finds in the committed corpus.
fuzz: configure
	@cmake --build --preset $(PRESET) --target kadrill_fuzzers
	@bash tests/fuzz/run.sh $(BUILD_DIR)/tests/fuzz

# A campaign of input storms on the program, built both ways: STORM_RUNS per build (default
# 10) of STORM_SECONDS each (default 40); prints each build's runs, actions and failures
# with their seeds.
storm: build
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan
	@bash tests/e2e/storm.sh build/$(PRESET) build/asan

# The program on the desktops people run (Xfce, KDE Plasma on X11, GNOME Shell with the
# AppIndicator extension), each started headless in a session of its own; not part of test.
desktops: build
	@bash scripts/install-deps.sh desktops
	@$(BUILD_DIR)/tests/desktops/desktops.sh

# The Debian package (CPack), in $(BUILD_DIR); install it with apt install ./<file>.
package: deps-package
	@$(MAKE) --no-print-directory build-run
	@cd $(BUILD_DIR) && cpack
	@ls $(BUILD_DIR)/kadrill_*.deb

# Windows, cross-built with mingw-w64 in build/windows: kadrill.exe (one file, the runtimes
# linked in) and its installer kadrill-<version>-setup.exe. Not part of make test.
windows:
	@bash scripts/install-deps.sh windows
	@cmake --preset windows >/dev/null
	@cmake --build --preset windows
	@ls build/windows/kadrill-*-setup.exe

# The Windows build's tests under Wine, each on its own Xvfb and Wine prefix.
test-windows: windows
	@ctest --test-dir build/windows --output-on-failure --parallel 2 --timeout 300

bench: build
	@bash bench/run.sh
	@bash bench/start.sh

# The naming rule and the checks of .clang-tidy, over our sources (not the tests').
lint: configure
	@bash scripts/lint.sh $(BUILD_DIR)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build

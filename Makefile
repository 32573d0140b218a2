# Entry points: `make run` and `make test` work on a fresh Debian 12 machine.
PRESET ?= default
BUILD_DIR := build/$(PRESET)

.PHONY: all deps configure build run check-display test test-asan fuzz package bench format clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

run: check-display build
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

# The Debian package (CPack), in $(BUILD_DIR); install it with apt install ./<file>.
package: build
	@cd $(BUILD_DIR) && cpack
	@ls $(BUILD_DIR)/kadrill_*.deb

bench: build
	@bash bench/run.sh

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build

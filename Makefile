# Entry points: `make run` and `make test` work on a fresh Debian 12 machine.
PRESET ?= default
BUILD_DIR := build/$(PRESET)

.PHONY: all deps configure build run test test-asan bench format clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

run: build
	@$(BUILD_DIR)/src/app/kadrill

test: build
	@ctest --preset $(PRESET)

test-asan:
	@$(MAKE) --no-print-directory test PRESET=asan

bench: build
	@bash bench/run.sh

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build

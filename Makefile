# Thin wrapper around CMake. Build folders: build/ (release), build-sanitize/ (ASan + UBSan).
BUILD_DIR    ?= build
SANITIZE_DIR ?= build-sanitize
WERROR       ?= OFF
JOBS         ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS  ?=

.PHONY: all build configure test run sanitize bench format clean

all: build

configure:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DRULECRAFT_WERROR=$(WERROR) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

run: build
	$(BUILD_DIR)/rulecraft examples/loans.clp

sanitize:
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRULECRAFT_SANITIZE=ON \
	  -DRULECRAFT_BENCH=OFF -DRULECRAFT_WERROR=$(WERROR) $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS)

bench: build
	@set -e; for b in $(BUILD_DIR)/bench/*; do \
	  if [ -x "$$b" ] && [ -f "$$b" ]; then echo "== $$b"; "$$b"; fi; done
	@echo "== rule-language programs (bench/programs)"
	python3 bench/run-programs.py $(BUILD_DIR)/rulecraft

format:
	find rulecraft cli tests bench examples \( -name '*.h' -o -name '*.cpp' \) -print0 | xargs -0 -r clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR)

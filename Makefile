# Thin wrapper around CMake. Build folders: build/ (release), build-sanitize/ (ASan + UBSan), build-tsan/
# (ThreadSanitizer, the thread tests only), build-clang/ (release with clang++). `run`, `test`, `test-clang`, `bench` and `format-check` first install the Debian
# packages they need through tools/install-deps (or print the apt-get command and stop).
BUILD_DIR    ?= build
SANITIZE_DIR ?= build-sanitize
TSAN_DIR     ?= build-tsan
CLANG_DIR    ?= build-clang
WERROR       ?= OFF
JOBS         ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS  ?=
INSTALL_DEPS ?= tools/install-deps
FORMAT_DIRS  := rulecraft cli tests bench examples

.PHONY: all build configure test test-clang run sanitize tsan bench format format-check clean

all: build

configure:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DRULECRAFT_WERROR=$(WERROR) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Needs neither GoogleTest nor Google Benchmark: only the program is built.
run:
	@$(INSTALL_DEPS) run
	@$(MAKE) --no-print-directory configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target rulecraft_exe
	$(BUILD_DIR)/rulecraft examples/loans.clp

test:
	@$(INSTALL_DEPS) test
	@$(MAKE) --no-print-directory build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The release build and every test with clang++, in a build folder of its own.
test-clang:
	@$(INSTALL_DEPS) test clang
	@$(MAKE) --no-print-directory build BUILD_DIR=$(CLANG_DIR) CMAKE_FLAGS="-DCMAKE_CXX_COMPILER=clang++ $(CMAKE_FLAGS)"
	ctest --test-dir $(CLANG_DIR) --output-on-failure -j $(JOBS)

sanitize:
	@$(INSTALL_DEPS) test
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRULECRAFT_SANITIZE=ON \
	  -DRULECRAFT_BENCH=OFF -DRULECRAFT_WERROR=$(WERROR) $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS)

# The thread tests (engines loading, running, saving and clearing on several threads at once) under
# ThreadSanitizer: only the library and the engine's test program are built.
tsan:
	@$(INSTALL_DEPS) test
	cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRULECRAFT_TSAN=ON \
	  -DRULECRAFT_BENCH=OFF -DRULECRAFT_LAYER_CHECK=OFF -DRULECRAFT_WERROR=$(WERROR) $(CMAKE_FLAGS)
	cmake --build $(TSAN_DIR) -j $(JOBS) --target rulecraft_engine_tests
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  $(TSAN_DIR)/tests/rulecraft_engine_tests --gtest_filter='EngineThreads.*'

bench:
	@$(INSTALL_DEPS) bench
	@$(MAKE) --no-print-directory build
	@set -e; for b in $(BUILD_DIR)/bench/*; do \
	  if [ -x "$$b" ] && [ -f "$$b" ]; then echo "== $$b"; "$$b"; fi; done
	@echo "== rule-language programs (bench/programs)"
	python3 bench/run-programs.py $(BUILD_DIR)/rulecraft

format:
	find $(FORMAT_DIRS) \( -name '*.h' -o -name '*.cpp' \) -print0 | xargs -0 -r clang-format -i

# Lists every file clang-format would change and fails if there is one.
format-check:
	@$(INSTALL_DEPS) format
	@find $(FORMAT_DIRS) \( -name '*.h' -o -name '*.cpp' \) -print0 | \
	  xargs -0 -r clang-format --dry-run --Werror || { echo "format-check: 'make format' fixes the files above"; exit 1; }

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(TSAN_DIR) $(CLANG_DIR)

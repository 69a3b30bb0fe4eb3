# Thin wrapper around CMake. Build folders: build/ (release), build-sanitize/ (ASan + UBSan), build-tsan/
# (ThreadSanitizer, the thread tests only), build-clang/ (release with clang++), build-fuzz/ (libFuzzer targets). `run`, `test`, `test-clang`, `bench` and `format-check` first install the Debian
# packages they need through tools/install-deps (or print the apt-get command and stop).
BUILD_DIR    ?= build
SANITIZE_DIR ?= build-sanitize
TSAN_DIR     ?= build-tsan
CLANG_DIR    ?= build-clang
FUZZ_DIR     ?= build-fuzz
FUZZ_TARGETS := parse run fact format
# Seconds of mutation per target in fuzz-smoke, after one pass over its corpus.
FUZZ_SECONDS ?= 20
WERROR       ?= OFF
JOBS         ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS  ?=
PREFIX       ?= /usr/local
INSTALL_DEPS ?= tools/install-deps
FORMAT_DIRS  := rulecraft cli tests bench examples fuzz

.PHONY: all build configure install test test-clang run sanitize tsan fuzz fuzz-smoke bench format format-check clean

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
	$(BUILD_DIR)/rulecraft examples/fan-controller.clp

# The libraries, headers, program, CMake package and pkg-config file, under PREFIX.
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

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

# The libFuzzer targets (fuzz/), built with clang++, AddressSanitizer and UndefinedBehaviorSanitizer in
# build-fuzz/. Skipped with a message where clang++ is missing.
fuzz:
	@if ! command -v clang++ >/dev/null 2>&1; then \
	  echo "fuzz: clang++ not found, fuzz targets skipped (tools/install-deps clang installs it)"; exit 0; fi; \
	cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DRULECRAFT_FUZZ=ON -DRULECRAFT_TESTS=OFF -DRULECRAFT_BENCH=OFF -DRULECRAFT_LAYER_CHECK=OFF \
	  -DRULECRAFT_WERROR=$(WERROR) $(CMAKE_FLAGS) && \
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target $(addprefix rulecraft_fuzz_,$(FUZZ_TARGETS))

# Each target runs its committed corpus, then mutates it for FUZZ_SECONDS (new inputs go to a scratch
# folder, not into the committed corpus). Fails at the first crash, leak, sanitizer report or hang.
fuzz-smoke: fuzz
	@if ! command -v clang++ >/dev/null 2>&1; then exit 0; fi; \
	set -e; for t in $(FUZZ_TARGETS); do \
	  case $$t in fact) dict=fact ;; format) dict=format ;; *) dict=rules ;; esac; \
	  echo "== fuzz-smoke $$t"; \
	  rm -rf $(FUZZ_DIR)/smoke/$$t; mkdir -p $(FUZZ_DIR)/smoke/$$t; \
	  log=$(FUZZ_DIR)/smoke/$$t.log; \
	  if ! $(FUZZ_DIR)/fuzz/rulecraft_fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	      -dict=fuzz/$$dict.dict -artifact_prefix=$(FUZZ_DIR)/smoke/$$t- -print_final_stats=1 \
	      $(FUZZ_DIR)/smoke/$$t fuzz/corpus/$$t >$$log 2>&1; then \
	    tail -n 80 $$log; echo "fuzz-smoke: $$t failed; the input is in $(FUZZ_DIR)/smoke/"; exit 1; fi; \
	  grep -E '^#[0-9]+ +DONE|^Done|stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' $$log; \
	done

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
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(TSAN_DIR) $(CLANG_DIR) $(FUZZ_DIR)

# Front door: `make demo` and `make test` are all a newcomer needs.
BUILD ?= build
ASAN_BUILD ?= build-asan
CLANG_BUILD ?= build-clang
TSAN_BUILD ?= build-tsan
COV_BUILD ?= build-cov
FUZZ_BUILD ?= build-fuzz
FUZZ_TIME ?= 300
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local

.PHONY: all build test demo sanitize clang format format-check tsan coverage clean bench fuzz fuzz-smoke install stats mutate

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS); status=$$?; ./scripts/code_stats.sh --short; exit $$status

# Line counts of the product and of the tests, and the tests' share.
stats:
	./scripts/code_stats.sh

# Realistic faults injected into lib/ one at a time (scripts/mutants.txt):
# which does the suite catch? Builds in its own directory; takes a while.
mutate:
	nice -n 10 python3 scripts/mutate.py --build $(BUILD)-mutate

# Header, libraries, svacdec, svacdec.pc and the CMake package under PREFIX
# (DESTDIR is honoured for staging).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

demo: build
	./scripts/demo.sh $(BUILD)

# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSVAC_SANITIZE=ON -DSVAC_WERROR=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS)

# The library, tools and suite built with clang, warnings as errors.
clang:
	./scripts/ensure_packages.sh clang++:clang
	CC=clang CXX=clang++ cmake -S . -B $(CLANG_BUILD) -DCMAKE_BUILD_TYPE=Release -DSVAC_WERROR=ON
	cmake --build $(CLANG_BUILD) -j$(JOBS)
	ctest --test-dir $(CLANG_BUILD) --output-on-failure -j$(JOBS)
	$(MAKE) format-check

# The code follows .clang-format (tables opt out with clang-format off/on).
FORMATTED = git ls-files 'lib/*.cpp' 'lib/*.h' 'enc/*.cpp' 'enc/*.h' 'tools/*.cpp' 'tools/*.h' \
	'include/*.h' 'gst/*.cpp' 'gst/*.h' 'gst/*.c' 'examples/*.c' \
	'tests/*.cpp' 'tests/*.h' 'tests/*.c'
format:
	./scripts/ensure_packages.sh clang-format:clang-format
	$(FORMATTED) | xargs clang-format -i
format-check:
	./scripts/ensure_packages.sh clang-format:clang-format
	$(FORMATTED) | xargs clang-format --dry-run --Werror

# Line and branch coverage of lib/ by the test suite (gcovr); the report with
# the uncovered lines is $(COV_BUILD)/coverage.txt.
coverage:
	cmake -S . -B $(COV_BUILD) -DCMAKE_BUILD_TYPE=Debug -DSVAC_COVERAGE=ON
	cmake --build $(COV_BUILD) -j$(JOBS)
	find $(COV_BUILD) -name '*.gcda' -delete
	# The installed-library check links a plain host against the instrumented archive.
	ctest --test-dir $(COV_BUILD) -j$(JOBS) --output-on-failure -E install_host
	gcovr -r . --filter 'lib/' --exclude-throw-branches --exclude-unreachable-branches \
		--txt $(COV_BUILD)/coverage.txt --print-summary $(COV_BUILD)

# Instances decoding on several threads at once, under ThreadSanitizer.
tsan:
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSVAC_TSAN=ON
	cmake --build $(TSAN_BUILD) -j$(JOBS) --target unit_driver
	TSAN_OPTIONS=halt_on_error=1 $(TSAN_BUILD)/tests/unit_driver --gtest_filter='Threads.*'

# libFuzzer targets (clang, ASan, UBSan), each run FUZZ_TIME seconds on one core.
fuzz:
	./tests/fuzz/setup.sh
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
		-DCMAKE_CXX_COMPILER=clang++ -DSVAC_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzz_stream fuzz_syntax fuzz_security fuzz_alloc svacenc_tool
	./tests/fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_TIME)

fuzz-smoke:
	$(MAKE) fuzz FUZZ_TIME=15

bench: build
	./bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(CLANG_BUILD) $(TSAN_BUILD) $(COV_BUILD) $(FUZZ_BUILD)

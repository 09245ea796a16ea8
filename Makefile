# Front door: `make demo` and `make test` are all a newcomer needs.
BUILD ?= build
ASAN_BUILD ?= build-asan
CLANG_BUILD ?= build-clang
JOBS ?= $(shell nproc)

.PHONY: all build test demo sanitize clang clean bench

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

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

bench: build
	./bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(CLANG_BUILD)

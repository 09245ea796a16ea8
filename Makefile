# Front door: `make demo` and `make test` are all a newcomer needs.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)

.PHONY: all build test demo sanitize clean bench stats mutate

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

demo: build
	./scripts/demo.sh $(BUILD)

# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSVAC_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS)

bench: build
	./bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)

# The two commands of the README: `make run` and `make test`. Each does its own set-up.
BUILD ?= build

.PHONY: setup run test soak bench sanitizers fuzz tidy format clean

setup:
	bash scripts/setup.sh $(BUILD)

run: setup
	$(BUILD)/sayloom

test: setup
	bash scripts/run-tests.sh $(BUILD)

# The long reliability runs: many kills of the app while it records, and half an hour of recording.
soak: setup
	bash scripts/run-soak.sh $(BUILD)

bench: setup
	bash scripts/run-bench.sh

# The unit tests again under AddressSanitizer+UBSan and ThreadSanitizer.
sanitizers: setup
	bash scripts/run-sanitizers.sh

# Every fuzz target for a bounded time (FUZZ_SECONDS each).
fuzz: setup
	bash scripts/run-fuzz.sh

# clang-tidy over the ring buffer, the core, the platform and the application layers, with
# clang's thread-safety analysis.
tidy: setup
	bash scripts/run-tidy.sh $(BUILD)

format:
	git ls-files '*.c' '*.h' '*.cpp' | xargs clang-format -i

clean:
	rm -rf build build-asan build-tsan build-bench build-fuzz

# Two commands on a fresh Debian machine: `make run` and `make test`.
BUILD ?= build
JOBS ?= 2
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 600
FUZZ_TARGETS ?= $(basename $(notdir $(wildcard tools/*_fuzz.cpp)))

.PHONY: deps build run test bench screenshot fuzz clean

deps:
	@bash scripts/install-deps.sh

# Tests build Debug, asserts on, and treat any warning as an error.
build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Debug -DKELVORAN_WERROR=ON >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	@bash scripts/run.sh $(BUILD)

test: build
	@bash scripts/test.sh $(BUILD)

bench: build
	@bash scripts/bench.sh $(BUILD)

screenshot: build
	@bash scripts/screenshot.sh $(BUILD)

# Every libFuzzer target in turn, FUZZ_SECONDS each, built with clang in FUZZ_BUILD.
fuzz:
	@bash scripts/install-deps.sh fuzz
	@bash scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

clean:
	rm -rf $(BUILD)

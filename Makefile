# Two commands on a fresh Debian machine: `make run` and `make test`.
BUILD ?= build
RELEASE ?= build-release
JOBS ?= 2
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 600
FUZZ_TARGETS ?= $(basename $(notdir $(wildcard tools/*_fuzz.cpp)))

.PHONY: deps build release run test bench screenshot fuzz clean

deps:
	@bash scripts/install-deps.sh

# Tests build Debug, asserts on, and treat any warning as an error.
build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Debug -DKELVORAN_WERROR=ON >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

# Play builds Release and only the game; the build's own output goes to a log, shown on failure.
release: deps
	@bash scripts/build-quietly.sh $(RELEASE) Release $(JOBS) kelvoran

run: release
	@bash scripts/run.sh $(RELEASE)

test: build
	@bash scripts/test.sh $(BUILD)

bench:
	@bash scripts/install-deps.sh bench
	@bash scripts/build-quietly.sh $(RELEASE) Release $(JOBS) kelvoran benchmarks
	@bash scripts/bench.sh $(RELEASE)

screenshot: build
	@bash scripts/screenshot.sh $(BUILD)

# Every libFuzzer target in turn, FUZZ_SECONDS each, built with clang in FUZZ_BUILD.
fuzz:
	@bash scripts/install-deps.sh fuzz
	@bash scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

clean:
	rm -rf $(BUILD) $(RELEASE)

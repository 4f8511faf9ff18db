# Two commands on a fresh Debian machine: `make run` and `make test`.
BUILD ?= build
SANITIZE_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 600
SOAK_SECONDS ?= 600
JOBS ?= 2

.PHONY: deps build run test sanitize fuzz soak bench screenshot clean

deps:
	@bash scripts/install-deps.sh

# Tests build Debug, asserts on, and treat any warning as an error.
build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Debug -DKELVORAN_WERROR=ON >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	@bash scripts/run.sh $(BUILD)

# The whole suite, then the whole suite again built with clang under AddressSanitizer,
# UndefinedBehaviorSanitizer and LeakSanitizer.
test: build
	@bash scripts/test.sh $(BUILD)
	@$(MAKE) --no-print-directory sanitize

sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
	  -DKELVORAN_WERROR=ON -DKELVORAN_SANITIZE=ON -DKELVORAN_BENCH=OFF >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	@bash scripts/test.sh $(SANITIZE_BUILD)

# Each libFuzzer target for FUZZ_SECONDS, starting from its seed corpus; prints the inputs run.
fuzz: deps
	@bash scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The real game under Xvfb for SOAK_SECONDS with scripted X input, sampling its memory.
soak: build
	@bash scripts/soak.sh $(BUILD) $(SOAK_SECONDS)

bench: build
	@bash scripts/bench.sh $(BUILD)

screenshot: build
	@bash scripts/screenshot.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)

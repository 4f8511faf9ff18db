# Two commands on a fresh Debian machine: `make run` and `make test`.
BUILD ?= build
RELEASE ?= build-release
SANITIZE_BUILD ?= build-asan
OPTIMISED_BUILD ?= build-opt
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 600
FUZZ_TARGETS ?= $(basename $(notdir $(wildcard tools/*_fuzz.cpp)))
SOAK_SECONDS ?= 600
JOBS ?= 2
PREFIX ?= /usr/local
# Ninja keeps both cores busy across targets; a build folder keeps the generator it was made with.
generator = $(if $(wildcard $(1)/CMakeCache.txt),,-G Ninja)
# The game and its three tools: one Release build, so a recording the game makes replays in the
# tool beside it as the same build.
PROGRAMS = kelvoran kelvoran-map kelvoran_replay kelvoran-level

.PHONY: deps build release run install package test optimised sanitize bench screenshot fuzz soak clean

deps:
	@bash scripts/install-deps.sh

# Tests build Debug, asserts on, and treat any warning as an error.
build: deps
	@cmake -S . -B $(BUILD) $(call generator,$(BUILD)) -DCMAKE_BUILD_TYPE=Debug -DKELVORAN_WERROR=ON >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

# Play builds Release and only the programs; the build's own output goes to a log, shown on
# failure.
release: deps
	@bash scripts/build-quietly.sh $(RELEASE) Release $(JOBS) $(PROGRAMS)

# LEVEL=levels/NAME plays that level.
run: release
	@LEVEL=$(LEVEL) bash scripts/run.sh $(RELEASE)

# The programs, the data, the manual pages, the desktop entry and the icon under PREFIX.
install: deps
	@bash scripts/build-quietly.sh $(RELEASE) Release $(JOBS) $(PROGRAMS) kelvoran_dist
	@cmake --install $(RELEASE) --prefix $(PREFIX)

# The Debian package, in $(RELEASE)/package/.
package: deps
	@bash scripts/build-quietly.sh $(RELEASE) Release $(JOBS) $(PROGRAMS) kelvoran_dist
	@cd $(RELEASE) && cpack -G DEB -B $(CURDIR)/$(RELEASE)/package >package.log 2>&1 || \
	  { cat package.log >&2; exit 1; }
	@ls $(CURDIR)/$(RELEASE)/package/*.deb

# The whole suite, then again built with optimisation and asserts on, then again built with
# clang under AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer.
test: build
	@bash scripts/test.sh $(BUILD)
	@$(MAKE) --no-print-directory optimised
	@$(MAKE) --no-print-directory sanitize

# Some faults hide at -O0 (uninitialised reads, aliasing, ordering): the suite at -O2 with
# asserts kept, the heaviest random cases at a quarter of their count.
optimised: deps
	@cmake -S . -B $(OPTIMISED_BUILD) $(call generator,$(OPTIMISED_BUILD)) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g" -DKELVORAN_WERROR=ON -DKELVORAN_BENCH=OFF \
	  -DKELVORAN_FEWER_CASES=ON >/dev/null
	@cmake --build $(OPTIMISED_BUILD) -j$(JOBS)
	@bash scripts/test.sh $(OPTIMISED_BUILD)

sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) $(call generator,$(SANITIZE_BUILD)) -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_BUILD_TYPE=Debug -DKELVORAN_WERROR=ON -DKELVORAN_SANITIZE=ON -DKELVORAN_BENCH=OFF \
	  >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	@bash scripts/test.sh $(SANITIZE_BUILD)

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

# The real game under Xvfb for SOAK_SECONDS with scripted X input, sampling its memory.
soak: build
	@bash scripts/install-deps.sh soak
	@bash scripts/soak.sh $(BUILD) $(SOAK_SECONDS)

clean:
	rm -rf $(BUILD) $(RELEASE) $(SANITIZE_BUILD) $(OPTIMISED_BUILD) $(FUZZ_BUILD)

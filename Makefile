# The two set-up commands of the README: `make run` and `make check`.
# Each installs the Debian packages the build needs when they are missing.

SAMPLE  ?= fourleg
# Options of the console program for `make run`, e.g. RUNFLAGS=--traces.
RUNFLAGS ?=
PRESET  ?= ci
JOBS    ?= $(shell nproc)
FUZZ_TIME ?= 60
DEBS    := build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev \
           libbenchmark-dev libgtk-3-dev xvfb xauth python3

.PHONY: all deps build check run release bench fuzz coverage format clean

all: build

deps:
	@bash scripts/install-deps.sh $(DEBS)

build: deps
	cmake --preset $(PRESET) >/dev/null
	cmake --build --preset $(PRESET) -j $(JOBS)

check: deps
	cmake --preset $(PRESET) >/dev/null
	cmake --build --preset $(PRESET) -j $(JOBS)
	ctest --preset $(PRESET) -j $(JOBS) --timeout 600

release: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

run: release
	@bash scripts/run-sample.sh build/release/velmorantis $(SAMPLE) $(RUNFLAGS)

bench: release
	@bash scripts/run-bench.sh build/release

# Line coverage of core/ by folder (gcov), from the whole test suite.
coverage: deps
	@JOBS=$(JOBS) bash scripts/coverage.sh

# libFuzzer targets (clang): each runs FUZZ_TIME seconds. Never part of check.
fuzz: deps
	@bash scripts/fuzz.sh $(FUZZ_TIME)

format:
	@find core apps frontend tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build

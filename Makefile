# SPDX-License-Identifier: GPL-3.0-or-later
BUILD ?= build
JOBS ?= $(shell nproc)

FUZZ_BUILD ?= build-fuzz
# Per fuzz target: stop at whichever comes first.
FUZZ_RUNS ?= 10000000
FUZZ_SECONDS ?= 600

.PHONY: all setup build run test bench fuzz-build fuzz clean

all: build

setup:
	./scripts/setup.sh

build: setup
	cmake -S . -B $(BUILD)
	cmake --build $(BUILD) -j $(JOBS)

# The widget host keeps running after the application quits, as it does at login.
run: build
	$(BUILD)/widgets/skyvelle-widgets &
	$(BUILD)/app/skyvelle

test: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

# libFuzzer targets under the address and undefined-behaviour sanitizers (README: Fuzzing).
fuzz-build:
	./scripts/setup.sh --fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DSKYVELLE_FUZZ=ON
	cmake --build $(FUZZ_BUILD) --target fuzz -j $(JOBS)

fuzz: fuzz-build
	tests/fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_RUNS) $(FUZZ_SECONDS) $(TARGETS)

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)

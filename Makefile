# SPDX-License-Identifier: GPL-3.0-or-later
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all setup build run test bench clean

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

clean:
	rm -rf $(BUILD)

# make run   installs what is missing, builds, and starts the updater against
#            the simulated device
# make test  installs what is missing, builds, and runs every test

MAKEFLAGS += --no-print-directory

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

PACKAGES := cmake make g++ qtbase5-dev qtbase5-dev-tools libx11-dev xvfb xauth \
            binutils-mingw-w64-x86-64
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build run sim-scenario test sanitize tidy bench clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	    echo "Installing:$$missing"; \
	    $(SUDO) apt-get update -qq && \
	    $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# With a display: the updater itself, against the simulated device's state
# file (SCENARIO=name sets that device up first). Without one: the headless
# walk-through of SCENARIO, with pictures.
SCENARIO ?=
BIN := $(BUILD_DIR)/bin
run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	    echo "make run: no display here, so this is the headless walk-through of the scenario '$(or $(SCENARIO),typical)'."; \
	    cd $(BIN) && ./orv-walkthrough $(or $(SCENARIO),typical) --out ../walkthrough/$(or $(SCENARIO),typical); \
	else \
	    $(MAKE) --no-print-directory sim-scenario SCENARIO=$(SCENARIO) && cd $(BIN) && ./orv1600-updater; \
	fi

# Puts the simulated device of a real run in the named scenario.
sim-scenario:
	@case "$(SCENARIO)" in \
	    "") ;; \
	    typical) $(BIN)/orv-sim reset ;; \
	    up-to-date) $(BIN)/orv-sim reset >/dev/null && $(BIN)/orv-sim set firmware=7 fpga-image=9 ;; \
	    fpga-failed) $(BIN)/orv-sim reset >/dev/null && $(BIN)/orv-sim set firmware=7 fpga-image=9 fpga=failed ;; \
	    bootloader) $(BIN)/orv-sim reset >/dev/null && $(BIN)/orv-sim set firmware=erased bootloader=yes ;; \
	    absent) $(BIN)/orv-sim reset >/dev/null && $(BIN)/orv-sim set absent=yes ;; \
	    unplug-fpga) $(BIN)/orv-sim reset >/dev/null && $(BIN)/orv-sim set unplug=fpga-write ;; \
	    *) echo "make run: unknown SCENARIO '$(SCENARIO)' (typical, up-to-date, fpga-failed, bootloader, absent, unplug-fpga)"; exit 2 ;; \
	esac

# The whole suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
SANITIZE_DIR ?= build-asan
sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DORV_SANITIZE=address,undefined $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && \
	ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp:print_suppressions=0 \
	ctest --output-on-failure -j $(JOBS)

# clang-tidy over the project's own sources, with the checks in .clang-tidy.
tidy: build
	@command -v clang-tidy >/dev/null || { $(SUDO) apt-get update -qq && \
	    $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends clang-tidy; }
	git ls-files '*.cpp' | xargs -P $(JOBS) -n 3 clang-tidy -p $(BUILD_DIR) --quiet
	@echo "clang-tidy: no findings"

bench: build
	cd $(BIN) && ./orv-bench

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR)

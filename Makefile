# make run      installs what is missing, builds, and starts the updater
#               against the simulated device
# make test     installs what is missing, builds, and runs every test
# make windows  installs what is missing, builds the Qt kits for Windows once
#               per machine, cross-builds the Windows program and writes its
#               packages, build-windows/orv1600-updater-VERSION-win64.zip and
#               build-windows32/orv1600-updater-VERSION-win32.zip

MAKEFLAGS += --no-print-directory

BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# CI makes every compiler warning an error.
WERROR ?= OFF

# The maker's device library: ORV_API_ROOT=FOLDER (or in CMAKE_FLAGS as
# -DORV_API_ROOT=FOLDER). Such a build has a folder of its own, so that it
# never quietly stays a simulator build, nor turns a simulator build into one.
ORV_API_ROOT ?= $(patsubst -DORV_API_ROOT=%,%,$(filter -DORV_API_ROOT=%,$(CMAKE_FLAGS)))
BUILD_DIR ?= $(if $(ORV_API_ROOT),build-maker,build)
CONFIGURE = -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DORV_WARNINGS_AS_ERRORS=$(WERROR) \
            $(filter-out -DORV_API_ROOT=%,$(CMAKE_FLAGS)) -DORV_API_ROOT=$(ORV_API_ROOT)

PACKAGES := cmake make g++ qtbase5-dev qtbase5-dev-tools libx11-dev xvfb xauth \
            binutils-mingw-w64-x86-64
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build run sim-scenario test sanitize tidy bench clean \
        windows-deps qt-kit qt-kit32 windows windows-test windows-test64 windows-test32

all: build

# Installs the Debian packages named in $(1) that are missing.
define install-packages
	@missing=""; \
	for p in $(1); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	    echo "Installing:$$missing"; \
	    { $(SUDO) apt-get update -qq && \
	      $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; } || \
	    { echo "make: cannot install$$missing with apt-get"; exit 1; }; \
	fi
endef

deps:
	$(call install-packages,$(PACKAGES))

# Configured every time: whatever the flags say now is what gets built.
build: deps
	cmake -S . -B $(BUILD_DIR) $(CONFIGURE)
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

# Puts the simulated device of a real run in the named scenario; orv-sim
# lists them.
sim-scenario:
	@[ -z "$(SCENARIO)" ] || $(BIN)/orv-sim scenario "$(SCENARIO)"

# The whole suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
SANITIZE_DIR ?= build-asan
sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DORV_SANITIZE=address,undefined \
	    -DORV_WARNINGS_AS_ERRORS=$(WERROR) $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && \
	ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp:print_suppressions=0 \
	ctest --output-on-failure -j $(JOBS)

# clang-tidy over the project's own sources, with the checks in .clang-tidy;
# the Windows-only ones (*_win.cpp) are not in this build's compile commands.
tidy: build
	@command -v clang-tidy >/dev/null || { $(SUDO) apt-get update -qq && \
	    $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends clang-tidy; }
	git ls-files '*.cpp' ':!:*_win.cpp' | xargs -P $(JOBS) -n 3 clang-tidy -p $(BUILD_DIR) --quiet
	@echo "clang-tidy: no findings"

bench: build
	cd $(BIN) && ./orv-bench

# The Windows program, 64-bit and 32-bit, cross-built with MinGW-w64 against
# Qt kits built from Debian's own Qt source. Each kit is built once per
# machine into QT_KIT_CACHE and again only when its recipe, windows/qt-kit.sh,
# changes. The 32-bit build runs under Debian's 32-bit Wine the way this
# machine runs 32-bit programs (windows/i386.sh): natively, or through
# qemu-i386; where it runs none, the 32-bit build makes only the program and
# its package, which a test reads.
WIN_DIR ?= build-windows
WIN32_DIR ?= build-windows32
QT_KIT_CACHE ?= $(HOME)/.cache/orv1600-updater
QT_KIT_ID := $(shell sha256sum windows/qt-kit.sh | cut -c1-12)
QT_KIT := $(QT_KIT_CACHE)/qt5-win64-$(QT_KIT_ID)
QT_KIT32 := $(QT_KIT_CACHE)/qt5-win32-$(QT_KIT_ID)
# Both packages; with the maker's library, the one that fits its DLL
# (WINDOWS_PACKAGES=win32 for a 32-bit orv_api.dll).
WINDOWS_PACKAGES ?= $(if $(ORV_API_ROOT),win64,win64 win32)
WIN_PACKAGES := cmake make g++ libx11-dev xvfb xauth xdotool zip unzip xz-utils dpkg-dev perl python3 \
                g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
                g++-mingw-w64-i686-posix binutils-mingw-w64-i686 wine64 fonts-wine
export WINEPREFIX ?= $(CURDIR)/$(WIN_DIR)/wine
WIN32_PREFIX ?= $(CURDIR)/$(WIN32_DIR)/wine
export WINEDEBUG ?= -all
# No prompts to install Wine's Mono or Gecko.
export WINEDLLOVERRIDES ?= mscoree,mshtml=

windows-deps:
	$(call install-packages,$(WIN_PACKAGES))
	$(if $(filter win32,$(WINDOWS_PACKAGES)),@bash windows/i386.sh install)

qt-kit: windows-deps
	@if [ ! -e $(QT_KIT)/.kit-complete ]; then \
	    bash windows/deb-src.sh && bash windows/qt-kit.sh $(QT_KIT); \
	fi

qt-kit32: windows-deps
	@if [ ! -e $(QT_KIT32)/.kit-complete ]; then \
	    bash windows/deb-src.sh && ORV_MINGW_TRIPLET=i686-w64-mingw32 bash windows/qt-kit.sh $(QT_KIT32); \
	fi

# $(1): build folder, $(2): Qt kit, $(3): MinGW-w64 target.
define windows-build
	cmake -S . -B $(1) -DCMAKE_TOOLCHAIN_FILE=windows/mingw-w64.cmake -DORV_MINGW_TRIPLET=$(3) \
	    -DCMAKE_PREFIX_PATH=$(2) -DCMAKE_BUILD_TYPE=Release -DORV_WARNINGS_AS_ERRORS=$(WERROR) \
	    -DORV_API_ROOT=$(ORV_API_ROOT)
	cmake --build $(1) -j $(JOBS)
	cd $(1) && cpack -G ZIP >/dev/null
endef

windows: $(if $(filter win64,$(WINDOWS_PACKAGES)),qt-kit) $(if $(filter win32,$(WINDOWS_PACKAGES)),qt-kit32)
	$(if $(filter win64,$(WINDOWS_PACKAGES)),$(call windows-build,$(WIN_DIR),$(QT_KIT),x86_64-w64-mingw32))
	$(if $(filter win32,$(WINDOWS_PACKAGES)),$(call windows-build,$(WIN32_DIR),$(QT_KIT32),i686-w64-mingw32))
	@echo "The Windows packages: $$(ls $(WIN_DIR)/*-win*.zip $(WIN32_DIR)/*-win*.zip 2>/dev/null)"

# Every test of each cross build, as Windows programs under Wine in a prefix
# of their kind, against an X server of its own; then the package, unzipped
# as an operator would.
windows-test: $(if $(filter win64,$(WINDOWS_PACKAGES)),windows-test64) \
              $(if $(filter win32,$(WINDOWS_PACKAGES)),windows-test32)

windows-test64: windows
	@[ -e $(WINEPREFIX)/system.reg ] || { echo "Making the Wine prefix $(WINEPREFIX)"; windows/wine-prefix.sh; }
	cd $(WIN_DIR) && xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" ctest --output-on-failure -j $(JOBS)

# Where this machine runs no 32-bit program, says why, and the build's one
# test reads the package.
windows-test32: windows
	@way=$$(bash windows/i386.sh way); echo "32-bit Windows programs on this machine: $$way"; \
	if [ "$${way%%:*}" != none ] && [ ! -e $(WIN32_PREFIX)/system.reg ]; then \
	    echo "Making the 32-bit Wine prefix $(WIN32_PREFIX)"; \
	    WINEPREFIX=$(WIN32_PREFIX) ORV_WINDOWS_BITS=32 windows/wine-prefix.sh || exit 1; \
	fi
	cd $(WIN32_DIR) && WINEPREFIX=$(WIN32_PREFIX) xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" \
	    ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf build build-maker $(SANITIZE_DIR) $(WIN_DIR) $(WIN32_DIR)

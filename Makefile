# ZUR router driver: build, test and demo. `make test` and `make demo` install
# what they lack (Debian packages, the Wine prefix) and need nothing else.

BUILD   ?= build
JOBS    ?= $(shell nproc)
CTEST_J ?= 2
FUZZ_SECONDS ?= 120
WINEPREFIX_X64 = $(abspath $(BUILD)/x64/wine)
# The build that `make demo` and `make bench` run: x64 under the host's Wine,
# or x86 (the release build) under 32-bit Wine in user-mode emulation.
ARCH    ?= x64

# The About box's build date and time (__DATE__, __TIME__) are those of the
# last commit, so that one commit always builds the same bytes.
SOURCE_DATE_EPOCH ?= $(shell git log -1 --format=%ct 2>/dev/null)
ifneq ($(SOURCE_DATE_EPOCH),)
export SOURCE_DATE_EPOCH
endif

.PHONY: all deps verify layers build native x64 x86 dist test test-x86 demo screenshot fuzz faults bench release release-check clean

all: build

deps:
	@tools/deps.sh

# Every program the scripts and the build run comes from a package that
# tools/deps.sh installs (or an essential one): what passes here passes on a
# fresh machine.
verify: deps
	@tools/deps.sh --verify

$(BUILD)/native/CMakeCache.txt:
	cmake -S . -B $(BUILD)/native -DCMAKE_BUILD_TYPE=Debug >/dev/null

$(BUILD)/x64/CMakeCache.txt:
	cmake -S . -B $(BUILD)/x64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null

$(BUILD)/x86/CMakeCache.txt:
	cmake -S . -B $(BUILD)/x86 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null

native: deps $(BUILD)/native/CMakeCache.txt
	cmake --build $(BUILD)/native -j $(JOBS)

x64: deps $(BUILD)/x64/CMakeCache.txt
	cmake --build $(BUILD)/x64 -j $(JOBS)

x86: deps $(BUILD)/x86/CMakeCache.txt
	cmake --build $(BUILD)/x86 -j $(JOBS)

# dist/x86 (the release platform) and dist/x64 (the build the tests run).
dist: x64 x86
	@tools/dist.sh $(BUILD)/x64/bin dist/x64
	@tools/dist.sh $(BUILD)/x86/bin dist/x86

build: native dist

# Every #include of the driver's source points down its layers; the check
# itself fails on includes planted against them (tools/layers-test.sh).
layers:
	@tools/layers.sh
	@tools/layers-test.sh

# The check of the programs comes first, before anything is built; then the
# check that every #include points down the layers (tools/layers.sh) and the
# check of that check (tools/layers-test.sh); after the build, the check that
# the shipped 32-bit programs load on Windows XP SP3 (tools/pe-check.sh) and
# the check of that check.
test: verify
	@tools/layers.sh
	@tools/layers-test.sh
	@$(MAKE) --no-print-directory build
	@tools/pe-check.sh dist/x86
	@tools/pe-check-test.sh
	@tools/test.sh $(BUILD)

# The 32-bit build's Windows tests that `make test` leaves out (it runs the
# end-to-end ones): module tests, control libraries, test support and the
# fault campaigns, under 32-bit Wine in user-mode emulation.
# X86_TESTS=all runs every one of them, end-to-end too.
X86_TESTS ?= rest
test-x86: verify
	@$(MAKE) --no-print-directory x86
	@tools/x86-test.sh $(BUILD) $(X86_TESTS)

# The release archive dist/release/zur-VERSION-win32.zip (and .sha256) from
# dist/x86: the shipped 32-bit programs only, the site guide and the
# commissioning kit; the same bytes from any clone (tools/release.sh). It
# configures the 32-bit build again, so that the build time it embeds is
# that of the last commit (SOURCE_DATE_EPOCH above).
RELEASE_TARGETS = zur zurcheck zurdb rvxsim infosim bwcc32 kelm_cc
release: deps
	cmake -S . -B $(BUILD)/x86 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/x86 -j $(JOBS) --target $(RELEASE_TARGETS)
	@tools/dist.sh $(BUILD)/x86/bin dist/x86
	@tools/release.sh

# The archive as a site uses it: unpacked into an empty folder, the kit's
# worked example run from it in a fresh 32-bit Wine prefix. Not part of test.
release-check: release
	@tools/release-check.sh $(BUILD)

# Driver against the platform's message floor under Wine (BENCH_ROUNDS
# rounds); prints the table and writes docs/performance.md. Not part of test.
BENCH_ROUNDS ?= 3
bench: $(ARCH)
	@tools/bench.sh $(BUILD) $(BENCH_ROUNDS) $(ARCH)

# Each libFuzzer target for FUZZ_SECONDS, one after the other (clang build in
# $(BUILD)/fuzz); `make test` runs a short smoke of each.
fuzz: deps
	@tools/fuzz.sh $(BUILD) $(FUZZ_SECONDS)

demo: dist
	@tools/demo.sh $(BUILD) $(ARCH)

# docs/panel.png: the panel after a take, on a virtual X display.
screenshot: x64
	@tools/deps.sh --screenshot
	@tools/deps.sh --verify --screenshot
	@tools/screenshot.sh $(BUILD)

# Every fault campaign under Wine with its full counts, the soak apart
# (tools/faults.sh; `tools/faults.sh soak` runs that one).
faults: deps
	@BUILD=$(BUILD) tools/faults.sh all

clean:
	rm -rf $(BUILD) dist

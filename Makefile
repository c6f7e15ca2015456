# The project's commands.  Each installs what is missing first.
BUILD ?= build
JOBS ?= 2

.PHONY: all deps build test fuzz demo package bench clean

FUZZ_SECONDS ?= 150

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	scripts/with-wine.sh $(BUILD) ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure --timeout 300
	JOBS=$(JOBS) scripts/fuzz.sh 5

# The text logic under libFuzzer with sanitizers, natively (about 10 minutes).
fuzz: deps
	JOBS=$(JOBS) scripts/fuzz.sh $(FUZZ_SECONDS)

# With a display of the user's own the windows are left to the user; without
# one the tour runs on a virtual display and saves its screenshots.
demo: build
	GAMEHOST_DEMO_INTERACTIVE=$$([ -n "$${DISPLAY:-}" ] && echo 1 || echo 0) \
	  scripts/with-wine.sh $(BUILD) scripts/demo.sh $(BUILD)

# The release ZIP and the demo ZIP, under $(BUILD)/package/.
package: build
	python3 scripts/package.py $(BUILD) $(BUILD)/package

# The host measured against the bare platform under Wine (3.5 to 5 minutes);
# the table goes to $(BUILD)/bench/results.md.
bench: build
	scripts/with-wine.sh $(BUILD) bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD)

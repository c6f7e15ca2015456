# The project's commands.  Each installs what is missing first.
BUILD ?= build
JOBS ?= 2

.PHONY: all deps build test fuzz demo clean

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

demo: build
	scripts/with-wine.sh $(BUILD) scripts/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD)

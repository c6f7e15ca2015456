# The project's commands.  Each installs what is missing first.
BUILD ?= build
JOBS ?= 2

.PHONY: all deps build test demo clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	scripts/with-wine.sh $(BUILD) ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure --timeout 300

demo: build
	scripts/with-wine.sh $(BUILD) scripts/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD)

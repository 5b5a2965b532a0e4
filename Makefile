# Quarrow: `make run` builds and starts the program under Wine; `make test` builds and runs the tests.
BUILD_DIR ?= build
BUILD_TYPE ?= Release
JOBS ?= $(shell nproc)
export BUILD_DIR

.PHONY: all deps prefix configure build run test bench clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/Toolchain-mingw-w64-x86_64.cmake \
	    -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

configure: $(BUILD_DIR)/CMakeCache.txt

build: deps configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

prefix: deps configure
	@scripts/create-prefix.sh

run: build prefix
	@scripts/run-app.sh

test: build prefix
	@scripts/run-tests.sh

clean:
	rm -rf $(BUILD_DIR)

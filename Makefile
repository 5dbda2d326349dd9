# TevAudio: the two commands of the README are `make run` and `make test`.
# Everything else here is a convenience around CMake.

BUILD_TYPE ?= RelWithDebInfo
# Recursive, so that it is evaluated after `deps` may have installed Ninja.
GENERATOR   = $(if $(shell command -v ninja),-G Ninja)
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
ARGS       ?=

.PHONY: all deps build run test bench sanitize-address sanitize-thread format clean

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	@test -f build/CMakeCache.txt || cmake -S . -B build $(GENERATOR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null
	@cmake --build build -j $(JOBS)

run: build
	@./build/tevaudio $(ARGS)

test: build
	@cd build && ctest --output-on-failure -j $(JOBS)

bench: build
	@./build/tev_bench

sanitize-address: deps
	@cmake -S . -B build-asan $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DTEV_SANITIZE=address >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ctest --output-on-failure -j $(JOBS)

sanitize-thread: deps
	@cmake -S . -B build-tsan $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DTEV_SANITIZE=thread >/dev/null
	@cmake --build build-tsan -j $(JOBS) --target tev_thread_tests
	@cd build-tsan && ctest --output-on-failure -j $(JOBS) -L thread

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build build-asan build-tsan

# TevAudio: the two commands of the README are `make run` and `make test`.
# Everything else here is a convenience around CMake.

BUILD_TYPE ?= RelWithDebInfo
# Recursive, so that it is evaluated after `deps` may have installed Ninja.
GENERATOR   = $(if $(shell command -v ninja),-G Ninja)
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
ARGS       ?=

FUZZ_SECONDS ?= 60
# Where `make install` puts the program: PREFIX/bin, PREFIX/share/tevaudio, the menu entry and icon.
PREFIX ?= /usr/local

.PHONY: all deps configure build program install package run test bench sanitize-address sanitize-thread fuzz tidy format clean

all: build

deps:
	@./scripts/install-deps.sh

configure: deps
	@test -f build/CMakeCache.txt || cmake -S . -B build $(GENERATOR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null

build: configure
	@cmake --build build -j $(JOBS)

# Only what is installed: the program and its images, without the tests.
program: configure
	@cmake --build build -j $(JOBS) --target tevaudio

# PREFIX stays unquoted, so that PREFIX=~/.local reaches the shell's tilde expansion.
install: program
	@cmake --install build --prefix $(PREFIX)

# The Debian package, build/tevaudio_<version>_<architecture>.deb, installed under /usr.
package: program
	@cd build && cpack -G DEB

run: build
	@./build/tevaudio $(ARGS)

test: build
	@cd build && ctest --output-on-failure -j $(JOBS)

bench: build
	@./scripts/make-fixtures.sh build/fixtures --long
	@TEV_FIXTURES=build/fixtures ./build/bench/tev_bench

sanitize-address: deps
	@cmake -S . -B build-asan $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DTEV_SANITIZE=address >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ctest --output-on-failure -j $(JOBS)

sanitize-thread: deps
	@cmake -S . -B build-tsan $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DTEV_SANITIZE=thread >/dev/null
	@cmake --build build-tsan -j $(JOBS) --target tev_thread_tests tev_decoder_tests tev_sound_tests tev_streaming_tests tev_record_tests
	@cd build-tsan && ctest --output-on-failure -j $(JOBS) -L thread

# The fuzz targets: the decoder for FUZZ_SECONDS from the seed files the fixture script makes,
# then the settings' INI reader, the cue-sheet reader and the play list readers for a sixth of
# that each. Any single allocation above the decoder's cap on FFmpeg's allocations (64 MiB) is a
# finding.
fuzz: deps
	@test -f build-fuzz/CMakeCache.txt || CXX=clang++ cmake -S . -B build-fuzz $(GENERATOR) \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEV_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target tev_fuzz_decoder tev_fuzz_ini tev_fuzz_cue tev_fuzz_playlist
	@./scripts/make-fixtures.sh build-fuzz/fixtures
	@mkdir -p build-fuzz/corpus build-fuzz/corpus-ini build-fuzz/corpus-cue build-fuzz/corpus-playlist
	@./build-fuzz/tev_fuzz_decoder -max_total_time=$(FUZZ_SECONDS) -timeout=20 -rss_limit_mb=2048 -malloc_limit_mb=64 \
		-print_final_stats=1 build-fuzz/corpus build-fuzz/fixtures/seeds >build-fuzz/fuzz.log 2>&1 \
		|| { tail -n 80 build-fuzz/fuzz.log; echo "fuzzing the decoder found a fault"; exit 1; }
	@tail -n 12 build-fuzz/fuzz.log
	@for target in ini cue playlist; do \
		./build-fuzz/tev_fuzz_$$target -max_total_time=$$(( $(FUZZ_SECONDS) / 6 )) -timeout=20 \
			-rss_limit_mb=2048 -malloc_limit_mb=64 build-fuzz/corpus-$$target >build-fuzz/fuzz-$$target.log 2>&1 \
			|| { tail -n 40 build-fuzz/fuzz-$$target.log; echo "fuzzing the $$target reader found a fault"; exit 1; }; \
		grep -h '^Done' build-fuzz/fuzz-$$target.log; \
	done

# clang-tidy, with the checks of .clang-tidy, over the program's sources (or TIDY_FILES).
TIDY_FILES ?= $(shell git ls-files '*.cpp' | grep -E '^(app|platform|core|input|decks|output|analysis|playlist|controls)/')
tidy: build
	@printf '%s\n' $(TIDY_FILES) | xargs -P $(JOBS) -n 1 clang-tidy -p build --quiet 2>build/tidy.log \
		|| { echo "clang-tidy found faults (above)"; exit 1; }

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build build-asan build-tsan build-fuzz

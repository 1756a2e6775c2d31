# testnuv: one-command entry points. See README.md.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build run test test-slow test-asan windows windows-zip package bench fuzz clean

all: build

deps:
	@tools/install-deps test

build:
	@tools/install-deps build
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

run:
	@tools/install-deps run
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target testnuv
	cd "$(CURDIR)" && ./build/testnuv

test:
	@tools/install-deps test
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)
	$(MAKE) --no-print-directory windows
	ctest --preset release -j $(JOBS)

# The long cases (a year of simulated data, runs of months): minutes each and gigabytes of disk;
# `make test` leaves them out.
test-slow:
	@tools/install-deps test
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)
	ctest --preset slow -j $(JOBS)

test-asan:
	@tools/install-deps test
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

windows:
	@tools/install-deps windows
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS)

# A package's name carries the version, which moves with every commit: the packages of
# earlier builds are removed first, so that build/ holds one, the one just made.
windows-zip: windows
	rm -f build-windows/testnuv-*-windows-x86_64.zip
	cmake --build --preset windows --target package

package:
	@tools/install-deps package
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)
	rm -f build/testnuv_*.deb
	cmake --build --preset release --target package

bench: build
	bench/run-all

# Fuzz each reader of the study tool for FUZZ_SECONDS (libFuzzer, clang); inputs that crash
# go to tests/fuzz/crashes/, which the test suite replays.
FUZZ_SECONDS ?= 150
fuzz:
	@tools/install-deps fuzz
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS) --target fuzz_study_log fuzz_seconds_csv fuzz_provenance fuzz_events
	tools/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf build build-debug build-asan build-windows build-fuzz

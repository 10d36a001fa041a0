# make run    install what is missing, build, start the setup under Wine
#             (headless: walk it through its pages, see scripts/run-setup)
# make screenshots  every page and message box in English and Japanese,
#             into build/screenshots/
# make test   install what is missing, build, run every test under Wine
# make dist   the one file a user downloads: dist/TonvaneSetup.exe
# make bench  build and run the benchmarks under Wine
#
# The shipped setup is a 32-bit (i686) program. The tests run an x86_64
# build of the same sources: Wine's 32-bit loader needs a kernel that runs
# 32-bit Linux programs, and this project's machines do not.

SHELL := /bin/bash
JOBS ?= $(shell nproc)
GENERATOR := -G Ninja
CONFIGURE = cmake -S . -B build/$(1) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
	-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw.cmake -DTONVANE_ARCH=$(1) $(2)

.PHONY: all bootstrap build build-i686 build-x86_64 test bench dist run screenshots clean

all: build

bootstrap:
	@scripts/bootstrap

build-x86_64: bootstrap
	@$(call CONFIGURE,x86_64,-DTONVANE_BUILD_TESTS=ON) >/dev/null
	@cmake --build build/x86_64 -j $(JOBS)

build-i686: bootstrap
	@$(call CONFIGURE,i686,-DTONVANE_BUILD_TESTS=OFF) >/dev/null
	@cmake --build build/i686 -j $(JOBS)

build: build-x86_64 build-i686

test: build
	@tests/harness/run build/x86_64 -j $(JOBS) -LE bench

bench: build-x86_64
	@tests/harness/run build/x86_64 -L bench --verbose

dist: build-i686
	@mkdir -p dist
	@cp build/i686/src/startup/TonvaneSetup.exe dist/TonvaneSetup.exe
	@echo "dist/TonvaneSetup.exe"

run: dist build-x86_64
	@scripts/run-setup

screenshots: build-x86_64
	@scripts/run-setup --screenshots

clean:
	rm -rf build dist

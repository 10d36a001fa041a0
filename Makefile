# make run    install what is missing, build, start the setup under Wine
#             (headless: walk it through its pages, see scripts/run-setup)
# make screenshots  every page and message box in English and Japanese,
#             also at 120 and 144 DPI, into build/screenshots/; the
#             README's gallery into docs/gallery/
# make test   install what is missing, build, run every test under Wine
# make dist   the one file a user downloads: dist/TonvaneSetup.exe (signed
#             with the signing settings given, README.md "Signing the setup"),
#             and beside it the Windows Package Manager's manifests of it
# make bench  the setup against an NSIS installer of the same payload, under
#             Wine: sizes, start-up, install times, responsiveness, memory;
#             one table, also in build/bench/bench-table.md
#
# The shipped setup is a 32-bit (i686) program. Both builds, build/i686 and
# build/x86_64, are made with their tests, and `make test` runs the tests of
# both at the same time under Wine. Wine's 32-bit loader is a 32-bit Linux
# program, which some kernels do not run (tests/harness/runs-32bit asks);
# there the i686 build's Wine tests are built but not run, and only its
# checks labelled "build" (no Wine) run. The summary says which ran.

SHELL := /bin/bash
JOBS ?= $(shell nproc)
GENERATOR := -G Ninja
CONFIGURE = cmake -S . -B build/$(1) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
	-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw.cmake -DTONVANE_ARCH=$(1) \
	-DTONVANE_BUILD_TESTS=ON
# The build that make run and make screenshots drive: the shipped i686 one
# where 32-bit programs run, the x86_64 one elsewhere (as scripts/run-setup
# picks it).
RUN_ARCH = $$(tests/harness/runs-32bit >/dev/null && echo i686 || echo x86_64)

.PHONY: all bootstrap build build-i686 build-x86_64 test bench fuzz dist run screenshots clean

all: build

bootstrap:
	@scripts/bootstrap

build-x86_64: bootstrap
	@$(call CONFIGURE,x86_64) >/dev/null
	@cmake --build build/x86_64 -j $(JOBS)

build-i686: bootstrap
	@$(call CONFIGURE,i686) >/dev/null
	@cmake --build build/i686 -j $(JOBS)

build: build-x86_64 build-i686

# A test that fails is not run again (README.md, "Tests").
test: build
	@tests/harness/run-all build/x86_64 build/i686 -j $(JOBS) -LE bench

# Builds what it needs itself (benchmarks/run-bench).
bench: bootstrap
	@benchmarks/run-bench

# libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer on the pure
# code, built natively with clang (fuzz/), FUZZ_SECONDS per target; not part
# of make test. Exits non-zero on a finding.
FUZZ_SECONDS ?= 60
fuzz: bootstrap
	@cmake -S fuzz -B build/fuzz $(GENERATOR) -DCMAKE_BUILD_TYPE= \
		-DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
	@cmake --build build/fuzz -j $(JOBS)
	@fuzz/run build/fuzz $(FUZZ_SECONDS)

# Only the setup itself; the folder is configured as for the tests, so that
# make test and make dist do not reconfigure it back and forth. Given the
# signing settings (README.md, "Signing the setup"), as make variables or
# in the environment, the setup is built and signed in a folder of its own
# without the tests: the tests and the reproducibility check keep to
# unsigned builds, and the signing settings stay out of their cache.
SIGNING_VARIABLES := TONVANE_SIGNING_CERTIFICATE TONVANE_SIGNING_KEY \
	TONVANE_SIGNING_PASSWORD_FILE TONVANE_SIGNING_TIMESTAMP_URL
SIGNING_SETTINGS = $(foreach v,$(SIGNING_VARIABLES),\
	$(if $(filter command line environment,$(origin $(v))),"-D$(v)=$($(v))"))
DIST_BUILD = $(if $(TONVANE_SIGNING_CERTIFICATE),build/i686-signed,build/i686)
dist: bootstrap
ifneq ($(TONVANE_SIGNING_CERTIFICATE),)
	@cmake -S . -B $(DIST_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
		-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw.cmake -DTONVANE_ARCH=i686 \
		-DTONVANE_BUILD_TESTS=OFF $(SIGNING_SETTINGS) >/dev/null
else
	@$(call CONFIGURE,i686) >/dev/null
endif
	@cmake --build $(DIST_BUILD) -j $(JOBS) --target TonvaneSetup winget_manifest
	@mkdir -p dist
	@rm -f dist/*.yaml
	@cp $(DIST_BUILD)/src/startup/TonvaneSetup.exe dist/TonvaneSetup.exe
	@cp $(DIST_BUILD)/src/startup/winget/*.yaml dist/
	@if i686-w64-mingw32-objdump -h dist/TonvaneSetup.exe | grep -q ' \.debug_'; then \
		echo "dist: dist/TonvaneSetup.exe carries debug sections" >&2; exit 1; fi
	@if ! grep -qix "  InstallerSha256: $$(sha256sum dist/TonvaneSetup.exe | cut -c1-64)" dist/*.installer.yaml; then \
		echo "dist: the manifest's InstallerSha256 is not dist/TonvaneSetup.exe's" >&2; exit 1; fi
	@echo "dist/TonvaneSetup.exe ($$(stat -c %s dist/TonvaneSetup.exe) bytes)"
	@ls dist/*.yaml

run: dist
	@$(MAKE) --no-print-directory build-$(RUN_ARCH)
	@scripts/run-setup

screenshots: bootstrap
	@$(MAKE) --no-print-directory build-$(RUN_ARCH)
	@scripts/run-setup --screenshots

clean:
	rm -rf build dist

# Front door of the build. `make` installs what is missing, builds the DLL into
# dist/ and runs a self-check of it under Wine; `make test` runs every test,
# native and under Wine; `make bench` runs the benchmarks; `make stress` and
# `make fuzz` the long robustness runs.
NATIVE := build/native
WIN32 := build/win32
DLL := dist/Kestrom_Vandu.dll

# Wine runs headless, silent, in a prefix of its own inside the build folder.
export WINEPREFIX := $(CURDIR)/build/wine
export WINEDEBUG := -all
export WINEDLLOVERRIDES := mscoree,mshtml=
WINE_READY := $(WINEPREFIX)/.kv-ready

.PHONY: all bootstrap native win32 test bench stress fuzz clean
all: $(DLL) selfcheck

bootstrap:
	@tools/bootstrap.sh

$(NATIVE)/build.ninja: | bootstrap
	@cmake -S . -B $(NATIVE) -G Ninja -Wno-dev >/dev/null

$(WIN32)/build.ninja: | bootstrap
	@cmake -S . -B $(WIN32) -G Ninja -Wno-dev -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null

native: $(NATIVE)/build.ninja
	@ninja -C $(NATIVE) --quiet

win32: $(WIN32)/build.ninja
	@ninja -C $(WIN32) --quiet

$(DLL): win32
	@mkdir -p dist
	@cp $(WIN32)/Kestrom_Vandu.dll $(WIN32)/generated/commands.md dist/

# A prefix with the null graphics driver: windows exist, nothing is displayed.
$(WINE_READY): | bootstrap
	@mkdir -p $(WINEPREFIX)
	@wine wineboot -i >/dev/null 2>&1 || true
	@wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
	@wineserver -w
	@touch $@

selfcheck: $(DLL) $(WINE_READY)
	@echo "Self-check of $(DLL) under Wine:"
	@cd $(WIN32) && wine kv_selfcheck.exe

test: native win32 $(WINE_READY)
	@tools/run-ctest.sh $(NATIVE)
	@tools/run-ctest.sh $(WIN32)

# The long stress run of the DLL under Wine (a fresh seed unless SEED is given)
# and the long soak of the pools.
STRESS_CALLS ?= 10000000
SEED ?= $(shell date +%s)
stress: native win32 $(WINE_READY)
	@cd $(WIN32) && wine kv_stress.exe --calls $(STRESS_CALLS) --seed $(SEED)
	@KV_SOAK_STEPS=10000000 $(NATIVE)/kv_unit_tests --gtest_filter='PoolSoak.*' --gtest_brief=1 | tail -n 1

# Coverage-guided fuzzing of the command surface and the pools (clang's libFuzzer,
# ASan and UBSan), FUZZ_SECONDS long.
FUZZ := build/fuzz
FUZZ_SECONDS ?= 240
fuzz:
	@tools/bootstrap.sh fuzz
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -G Ninja -Wno-dev -DKV_FUZZ=ON >/dev/null
	@ninja -C $(FUZZ) --quiet kv_fuzz_commands kv_fuzz_pools
	@tools/fuzz.sh $(FUZZ) $(FUZZ_SECONDS)

bench: win32 $(WINE_READY)
	@cd $(WIN32) && wine kv_bench.exe

clean:
	rm -rf build dist

# Front door of the build. `make` installs what is missing, builds the DLL into
# dist/ and runs a self-check of it under Wine; `make test` runs every test,
# native and under Wine; `make bench` runs the benchmarks.
NATIVE := build/native
WIN32 := build/win32
DLL := dist/Kestrom_Vandu.dll

# Wine runs headless, silent, in a prefix of its own inside the build folder.
export WINEPREFIX := $(CURDIR)/build/wine
export WINEDEBUG := -all
export WINEDLLOVERRIDES := mscoree,mshtml=
WINE_READY := $(WINEPREFIX)/.kv-ready

.PHONY: all bootstrap native win32 test bench clean
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
	@cd $(NATIVE) && ctest --output-on-failure
	@cd $(WIN32) && ctest --output-on-failure

bench: win32 $(WINE_READY)
	@cd $(WIN32) && wine kv_bench.exe

clean:
	rm -rf build dist

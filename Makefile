# Front door of the build. `make` installs what is missing, builds the DLL into
# dist/ and runs a self-check of it under Wine; `make test` runs every test,
# native and under Wine; `make bench` runs the benchmarks; `make stress` and
# `make fuzz` the long robustness runs; `make docs` and `make dist` the release.
NATIVE := build/native
WIN32 := build/win32
DLL := dist/Kestrom_Vandu.dll

# Wine runs headless, silent, in a prefix of its own inside the build folder.
export WINEPREFIX := $(CURDIR)/build/wine
export WINEDEBUG := -all
export WINEDLLOVERRIDES := mscoree,mshtml=
WINE_READY := $(WINEPREFIX)/.kv-ready-2

VERSION := $(shell cat VERSION)
# The system's Python, which the plotting library is installed for.
PYTHON := $(shell test -x /usr/bin/python3 && echo /usr/bin/python3 || echo python3)
DOCS := build/docs
ZIP := dist/Kestrom_Vandu-$(VERSION).zip

.PHONY: all bootstrap native win32 test bench stress fuzz accuracy docs dist clean
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
	@mkdir -p dist/checked
	@cp $(WIN32)/Kestrom_Vandu.dll $(WIN32)/generated/commands.md dist/
	@cp $(WIN32)/checked/Kestrom_Vandu.dll dist/checked/

# A prefix with the null graphics driver: windows exist, nothing is displayed.
# A program that crashes ends at once with its backtrace: the crash debugger
# writes it and shows no dialog to wait on.
$(WINE_READY): | bootstrap
	@mkdir -p $(WINEPREFIX)
	@wine wineboot -i >/dev/null 2>&1 || true
	@wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
	@wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
	@wineserver -w
	@touch $@

selfcheck: $(DLL) $(WINE_READY)
	@echo "Self-check of $(DLL) under Wine:"
	@cd $(WIN32) && wine kv_selfcheck.exe

test: native win32 $(WINE_READY)
	@tools/bootstrap.sh accuracy
	@tools/run-ctest.sh $(NATIVE)
	@tools/run-ctest.sh $(WIN32)

# The long stress run of the DLL under Wine (a fresh seed unless SEED is given)
# and the long soak of the pools, each stopped when it runs far past its time
# (the stress run makes some 50 000 calls a second).
STRESS_CALLS ?= 10000000
SEED ?= $(shell date +%s)
stress: native win32 $(WINE_READY)
	@cd $(WIN32) && timeout $$(( $(STRESS_CALLS) / 5000 + 60 )) wine kv_stress.exe --calls $(STRESS_CALLS) --seed $(SEED)
	@KV_SOAK_STEPS=10000000 timeout 300 $(NATIVE)/kv_unit_tests --gtest_filter='PoolSoak.*' --gtest_brief=1 | tail -n 1

# The accuracy check: every command whose result is rounded against the exact
# answer, and against Wine's D3DX, over ACCURACY_DRAWS draws each; the table goes
# to docs/accuracy.md. (`make test` runs a short one.)
ACCURACY_DRAWS ?= 2000
accuracy: win32 $(WINE_READY)
	@tools/bootstrap.sh accuracy
	@cd $(WIN32) && $(PYTHON) ../../tools/accuracy.py --draws $(ACCURACY_DRAWS) --quiet --check \
	  --markdown ../../docs/accuracy.md
	@echo "accuracy: docs/accuracy.md"

# Coverage-guided fuzzing of the command surface and the pools (clang's libFuzzer,
# ASan and UBSan), FUZZ_SECONDS long.
FUZZ := build/fuzz
FUZZ_SECONDS ?= 240
fuzz:
	@tools/bootstrap.sh fuzz
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -G Ninja -Wno-dev -DKV_FUZZ=ON >/dev/null
	@ninja -C $(FUZZ) --quiet kv_fuzz_commands kv_fuzz_pools
	@tools/fuzz.sh $(FUZZ) $(FUZZ_SECONDS)

# The command reference (Markdown and one HTML page) generated from the table, the
# guide as a page, and the guide's pictures drawn from the built DLL's own results under Wine, all
# into docs/ next to the guide (kept in the repository, so that its links hold);
# the HTML page checked in headless Chromium, which also takes its screenshot;
# build/docs/ the release's copy.
docs: win32 $(WINE_READY)
	@tools/bootstrap.sh docs
	@mkdir -p $(DOCS)/pictures docs/pictures
	@cd $(WIN32) && wine kv_docs_data.exe ../docs/data.json
	@$(PYTHON) tools/pictures.py $(DOCS)/data.json docs/pictures
	@cp $(WIN32)/generated/commands.md $(WIN32)/generated/commands.html docs/
	@$(PYTHON) tools/guide_html.py src/frame/commands.tab docs/guide.md docs/guide.html $(VERSION)
	@cp docs/guide.md docs/guide.html docs/commands.md docs/commands.html $(DOCS)/
	@cp docs/pictures/*.png $(DOCS)/pictures/
	@$(PYTHON) tools/check_html.py src/frame/commands.tab $(DOCS)/commands.html $(DOCS)/commands.png $(DOCS)/guide.html
	@echo "docs: docs/commands.md, docs/commands.html, docs/guide.html, docs/pictures/; the release's copy in $(DOCS)/"

# The release: the DLL and its checked build, the reference, the guide with its
# pictures, the accuracy table, the change log and a read-me, in one folder,
# packed reproducibly, then checked.
dist: $(DLL) docs
	@$(PYTHON) tools/package.py $(ZIP) Kestrom_Vandu-$(VERSION) \
	  Kestrom_Vandu.dll=$(DLL) checked/Kestrom_Vandu.dll=dist/checked/Kestrom_Vandu.dll \
	  README.txt=docs/README.txt CHANGELOG.md=CHANGELOG.md \
	  commands.md=$(DOCS)/commands.md commands.html=$(DOCS)/commands.html guide.md=$(DOCS)/guide.md \
	  guide.html=$(DOCS)/guide.html \
	  accuracy.md=docs/accuracy.md \
	  pictures/curves.png=$(DOCS)/pictures/curves.png pictures/blends.png=$(DOCS)/pictures/blends.png \
	  pictures/frustum.png=$(DOCS)/pictures/frustum.png
	@$(PYTHON) tools/check_dist.py $(ZIP) $(DLL) $(VERSION)

bench: win32 $(WINE_READY)
	@cd $(WIN32) && wine kv_bench.exe

clean:
	rm -rf build dist

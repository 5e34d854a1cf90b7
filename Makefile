# Set-up and everyday commands. Both `make demo` and `make test` install the Debian
# packages they lack (as root, one apt-get update only when something is missing),
# then configure and build incrementally.

PACKAGES := cmake ninja-build g++ clang libclang-rt-14-dev clang-format pkg-config \
            zlib1g-dev libsqlite3-dev libinih-dev libgtest-dev libgmock-dev \
            nlohmann-json3-dev qt6-base-dev qt6-multimedia-dev libgl-dev \
            xvfb xauth
JOBS ?= $(shell nproc)

.PHONY: all deps build demo test test-asan test-tsan test-windows test-office windows-dist fuzz-corpus ci format \
        screenshot screenshot-windows bench clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  SUDO=""; [ "$$(id -u)" = 0 ] || SUDO=sudo; \
	  $$SUDO apt-get update -q && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -q $$missing; \
	fi

build/build.ninja:
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps build/build.ninja
	cmake --build build -j $(JOBS)

demo: build
	@./tools/demo.sh

test: build
	cd build && ctest --output-on-failure -j $(JOBS)

# The suite again under AddressSanitizer + UndefinedBehaviorSanitizer (clang), with the
# fuzz targets replaying their seed corpora as tests.
build-asan/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DDIRI_SANITIZE=ON -DDIRI_FUZZ=ON

test-asan: deps build-asan/build.ninja
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# The suites without Qt under ThreadSanitizer (clang). Qt is not built for it, so the Qt
# suites would only report races inside Qt; the background loader and its worker pool are
# tried here through their Qt-free suite.
build-tsan/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDIRI_TSAN=ON

test-tsan: deps build-tsan/build.ninja
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --output-on-failure -j $(JOBS) -E '^gui_'

# Everything cross-built for 64-bit Windows into build-win/ (the window against Qt that
# tools/windows/build-qt.sh builds once into ~/.cache) and tested under Wine, the Windows
# report compared with the Linux build's (hence `build`), and the package tried in a fresh
# Wine prefix.
test-windows: build
	JOBS=$(JOBS) ./tools/windows/test.sh

# A real spreadsheet (LibreOffice Calc from Debian, installed when missing) imports the HTML
# and CSV clipboard renderings of a copy, headless under a German locale; every cell is
# compared with the expected text or number.
test-office: build
	./tools/office-check.sh build

# build-win/dist/dirivararez-win64.zip: the programs, the Qt and C++ runtime DLLs, README.txt.
windows-dist:
	JOBS=$(JOBS) ./tools/windows/dist.sh

ci: test test-office test-asan test-tsan test-windows

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

screenshot: build
	./tools/screenshot.sh

# build-win/screenshot.png: the Windows window under Wine, loaded from `hostsim.exe demo`.
screenshot-windows:
	JOBS=$(JOBS) ./tools/windows/screenshot.sh

# Every benchmark ends with "ratio X (target <= Y: met)" (or "NOT met"); the summary
# collects those last lines. The disk is flushed first: what a build just wrote would
# otherwise be written back while the benchmarks run.
bench: build
	@sync; summary=""; for b in build/bin/bench_*; do echo "== $$b"; \
	  $$b > build/bench.out 2>&1; rc=$$?; cat build/bench.out; [ $$rc = 0 ] || exit 1; \
	  summary="$$summary$$(printf '%-18s %s' $$(basename $$b) "$$(tail -n 1 build/bench.out)")\n"; \
	done; rm -f build/bench.out; printf '\nSummary\n%b' "$$summary"

clean:
	rm -rf build build-asan build-tsan build-win

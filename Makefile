# TOLVEX: `make` builds build/windows/TOLVEX.exe, `make test` runs every
# suite, `make demo` runs the whole job under Wine, `make bench` prints the
# figures.  Each installs what the machine lacks first (Debian, as root).
#
# A release with the genuine ImDisk files: make PAYLOAD_DIR=/path/to/files

PAYLOAD_DIR ?=
CONFIGURE_ARGS := $(if $(PAYLOAD_DIR),-DPAYLOAD_DIR=$(abspath $(PAYLOAD_DIR)),-UPAYLOAD_DIR)

.PHONY: all deps windows host test demo bench format clean

all: windows

deps:
	@tools/install-deps

windows: deps
	cmake --preset windows $(CONFIGURE_ARGS) >/dev/null
	cmake --build --preset windows
	@ls -l build/windows/TOLVEX.exe

host: deps
	cmake --preset host >/dev/null
	cmake --build --preset host

test: windows host
	cmake --build --preset windows --target windows_tests
	/usr/bin/python3 tests/run_all.py

demo: windows
	/usr/bin/python3 tools/demo.py

bench: windows
	/usr/bin/python3 tools/bench.py

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build

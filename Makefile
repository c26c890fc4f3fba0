# Quillbox: `make test` and `make demo` work on a fresh Debian machine (as
# root): they install what is missing, build, and test or demonstrate.

WIN_BUILD := build/win
# The x86-64 build of the Windows parts, for the Wine tests on machines that
# run no 32-bit code (scripts/wine-arch.sh tells).
WIN64_BUILD := build/win64
# The authoring tool as a Windows program (quillbox.exe, x86-64).
WIN_TOOL_BUILD := build/win-tool
NATIVE_BUILD := build/native
JOBS ?= $(shell nproc)

.PHONY: all deps build stub native test unit demo install format clean

all: build

deps:
	@bash scripts/setup-deps.sh

build: deps
	@$(MAKE) --no-print-directory stub native

stub:
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
	cmake --build $(WIN_BUILD) -j $(JOBS)
	@if bash scripts/wine-arch.sh | grep -qxE 'win64|wow64-emulated'; then \
	  echo "this machine runs no 32-bit code: building the x86-64 test build for Wine"; \
	  cmake -S . -B $(WIN64_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null && \
	  cmake --build $(WIN64_BUILD) -j $(JOBS); \
	fi
	cmake -S . -B $(WIN_TOOL_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64-tool.cmake >/dev/null
	cmake --build $(WIN_TOOL_BUILD) -j $(JOBS)

native:
	cmake -S . -B $(NATIVE_BUILD) -DQB_WIN_BUILD_DIR=$(CURDIR)/$(WIN_BUILD) \
	  -DQB_WIN64_BUILD_DIR=$(CURDIR)/$(WIN64_BUILD) >/dev/null
	cmake --build $(NATIVE_BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(NATIVE_BUILD) --output-on-failure -j $(JOBS)

demo: build
	bash scripts/demo.sh

# The tool, the stub and the uninstaller: PREFIX/bin/quillbox and
# PREFIX/lib/quillbox/.
PREFIX ?= /usr/local
install: build
	cmake --install $(NATIVE_BUILD) --prefix $(PREFIX)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build

# Quillbox: `make test` and `make demo` work on a fresh Debian machine (as
# root): they install what is missing, build, and test or demonstrate.

WIN_BUILD := build/win
NATIVE_BUILD := build/native
JOBS ?= $(shell nproc)

.PHONY: all deps build stub native test unit demo format clean

all: build

deps:
	@bash scripts/setup-deps.sh

build: deps
	@$(MAKE) --no-print-directory stub native

stub:
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
	cmake --build $(WIN_BUILD) -j $(JOBS)

native:
	cmake -S . -B $(NATIVE_BUILD) -DQB_WIN_BUILD_DIR=$(CURDIR)/$(WIN_BUILD) >/dev/null
	cmake --build $(NATIVE_BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(NATIVE_BUILD) --output-on-failure -j $(JOBS)

demo: build
	bash scripts/demo.sh

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build

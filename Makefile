# Thin wrappers over CMake and CTest. `make run` and `make test` are all a
# newcomer needs; both install what is missing first (see tools/install-deps.sh).
BUILD   ?= build
BUILD32 ?= build32
JOBS    ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

.PHONY: deps build build64 build32 test run bench faults dist screenshots clean

deps:
	@tools/install-deps.sh

build: build64 build32

build64: deps
	@cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake \
		-DKAGERO_BUILD32_DIR=$(abspath $(BUILD32)) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

# The shipped 32-bit program. It cannot run on these machines, so its tests
# are compiled (to keep the code clean) but never run.
build32: deps
	@cmake -S . -B $(BUILD32) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD32) -j$(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure

run: build64
	@tools/run-kagero.sh $(BUILD)

bench: build64
	@tools/wine-run.sh --prefix $(BUILD)/wineprefix $(BUILD)/bench/kagero_bench.exe

# Plants every fault of tests/FAULTS.md in a private worktree and checks that
# the tests catch it; one build and test run per fault, so it takes long.
# ONLY=id,id picks some (tools/check-faults.py --list names them).
faults: deps
	@tools/check-faults.py $(if $(ONLY),--only $(ONLY))

# One zip per architecture, each with both programs and a short README.
dist: build
	@tools/make-dist.py --out dist --x86 $(BUILD32) --x64 $(BUILD)

# The README's pictures, taken under a private Xvfb and kept in docs/.
screenshots: build64
	@tools/make-screenshots.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD32) dist

# Thin wrappers over CMake and CTest. `make run` and `make test` are all a
# newcomer needs; both install what is missing first (see tools/install-deps.sh).
# The two builds are the presets of CMakePresets.json: x64 in build/, x86 in
# build32/.
override BUILD   := build
override BUILD32 := build32
JOBS    ?= 2

# Quiet: the compiler's warnings and errors and CMake's progress, no
# "Entering directory" from the make that CMake runs.
MAKEFLAGS += --no-print-directory

.PHONY: deps build build64 build32 test run bench faults dist screenshots clean

deps:
	@tools/install-deps.sh

build: build64 build32

# Configure's chatter goes; its warnings and errors (on stderr) stay.
build64: deps
	@cmake --preset x64 >/dev/null
	@cmake --build --preset x64 -j$(JOBS)

# The shipped 32-bit program. It cannot run on these machines, so its tests
# are compiled (to keep the code clean) but never run.
build32: deps
	@cmake --preset x86 >/dev/null
	@cmake --build --preset x86 -j$(JOBS)

test: build
	@ctest --preset x64

run: build64
	@tools/run-kagero.sh $(BUILD)

# On one processor: under Wine every native call is a round trip to the wine
# server, and between two processors of a virtual machine that trip costs up
# to ten times as much, at random, which would swamp what is measured.
# BENCH=find (or namespace, explorer, dump, holders) runs only those parts.
bench: build64
	@taskset -c 0 tools/wine-run.sh --prefix $(BUILD)/wineprefix $(BUILD)/bench/kagero_bench.exe $(BENCH)

# Plants every fault of tests/FAULTS.md in a private worktree (build/faults/)
# and checks that the tests catch it; one build and test run per fault, so it takes long.
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

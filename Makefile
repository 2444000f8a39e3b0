# The two commands of the README: `make run` and `make test`. Both install what
# is missing first (scripts/install-deps), so they work on a fresh machine.
BUILD_DIR ?= build
TEST_DIR  ?= build-test
JOBS      ?= $(shell nproc)
# Arguments handed to multitone by `make run`, e.g. make run ARGS="--trace".
ARGS      ?=
QUIET     := MAKEFLAGS=--no-print-directory

.PHONY: all deps build run test bench fuzz deb clean

all: build

deps:
	@scripts/install-deps

# The programs: multitone (with multitone-serve, which it runs for `multitone
# serve`) and analyzer-sim (the benchmarks build with scripts/bench, the tests
# with `make test`). Quiet: CMake's own progress lines, without the inner
# make's directory chatter (QUIET, which a Ninja build simply ignores).
PROGRAMS := multitone multitone-serve analyzer-sim
# `make run` builds what the run needs: multitone-serve only for ARGS="serve ...".
RUN_PROGRAMS := multitone analyzer-sim $(if $(filter serve,$(firstword $(ARGS))),multitone-serve)

build: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release > /dev/null
	@$(QUIET) cmake --build $(BUILD_DIR) -j $(JOBS) --target $(PROGRAMS)

run: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release > /dev/null
	@$(QUIET) cmake --build $(BUILD_DIR) -j $(JOBS) --target $(RUN_PROGRAMS)
	@$(BUILD_DIR)/multitone $(ARGS)

# The test build turns warnings into errors and runs every test under
# AddressSanitizer and UndefinedBehaviorSanitizer; then each fuzz target runs
# a few seconds (scripts/fuzz --smoke).
test: deps
	@cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DMULTITONE_SANITIZE=ON -DMULTITONE_WERROR=ON > /dev/null
	@$(QUIET) cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS)
	scripts/fuzz --smoke

# The libFuzzer targets (clang, in build-fuzz/), e.g. make fuzz FUZZ_ARGS="600".
FUZZ_ARGS ?=
fuzz: deps
	scripts/fuzz $(FUZZ_ARGS)

# The Debian package, from a Release tree in build-deb/ (scripts/package).
deb:
	@scripts/package

clean:
	rm -rf $(BUILD_DIR) $(TEST_DIR) build-deb

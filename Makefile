# Front for the CMake build. `make demo` and `make test` install what is
# missing first, so both work on a fresh Debian 12 machine.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
PYTHON := /usr/bin/python3
FUZZ_SECONDS ?= 60
# With FUZZ_RUNS and FUZZ_SEED set, a run is reproducible (CI uses both).
FUZZ_RUNS ?= -1
FUZZ_SEED ?= 0

ifeq ($(SANITIZE),1)
BUILD := build-asan
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON -DQV_BENCH=OFF
SAN_ENV := LD_PRELOAD=$$(gcc -print-file-name=libasan.so):$$(gcc -print-file-name=libubsan.so) ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
else
BUILD := build
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=RelWithDebInfo
SAN_ENV :=
endif

.PHONY: all deps build demo test install-check bench fuzz fuzz-build clean help

all: build

deps:
	@scripts/install-deps

# Configuring needs the packages: under -j it must wait for the install.
$(BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) -DPython3_EXECUTABLE=$(PYTHON)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	PYTHONPATH=$(BUILD)/python $(PYTHON) examples/demo.py

# The Python tests run even when a C++ test fails; either failing fails `make test`.
test: build
	@status=0; \
	(cd $(BUILD) && ctest --output-on-failure -j $(JOBS)) || status=1; \
	$(SAN_ENV) PYTHONPATH=$(BUILD)/python $(PYTHON) -m pytest -q -p no:cacheprovider tests/python || status=1; \
	exit $$status

# Runs the README's install lines as they stand in a copy of the source tree,
# then imports the package they installed from outside the tree and checks the
# wheel they built (scripts/check-install). No `deps` first: the lines install
# what they need themselves.
install-check:
	CMAKE_BUILD_PARALLEL_LEVEL=$(JOBS) scripts/check-install

# Runs every benchmark and the Python-side figures, then prints and writes the
# one table (goals first); a benchmark that fails leaves its goals missing
# from the table and fails the target once the table is written.
bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DQV_TESTS=OFF -DPython3_EXECUTABLE=$(PYTHON)
	cmake --build build-bench -j $(JOBS)
	@rm -rf build-bench/results && mkdir -p build-bench/results
	@status=0; \
	for b in build-bench/bench/bench_*; do \
	  [ -x "$$b" ] || continue; \
	  "$$b" --benchmark_out=build-bench/results/$$(basename $$b).json --benchmark_out_format=json || { echo "$$b failed"; status=1; }; \
	done; \
	{ build-bench/bench/bench_engine --write-heavy-request build-bench/heavy_request.json && \
	  PYTHONPATH=build-bench/python $(PYTHON) bench/verify_bench.py build-bench/heavy_request.json \
	    build-bench/results/verify_bench.json; } || status=1; \
	PYTHONPATH=build-bench/python $(PYTHON) bench/chain_python.py build-bench/results/chain_python.json || status=1; \
	$(PYTHON) bench/collect.py build-bench/results bench/results || status=1; \
	exit $$status

fuzz-build:
	@scripts/install-deps --fuzz
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang-16 -DCMAKE_CXX_COMPILER=clang++-16
	cmake --build build-fuzz -j $(JOBS)

# Runs every fuzz target for FUZZ_SECONDS seconds (or FUZZ_RUNS inputs), on its corpus folder.
fuzz: fuzz-build
	@for t in build-fuzz/fuzz/fuzz_*; do \
	  name=$$(basename $$t); corpus=build-fuzz/corpus/$$name; mkdir -p $$corpus; \
	  seeds=""; [ -d fuzz/seeds/$$name ] && seeds=fuzz/seeds/$$name; \
	  echo "== $$name ($(FUZZ_SECONDS)s)"; \
	  $$t -max_total_time=$(FUZZ_SECONDS) -runs=$(FUZZ_RUNS) -seed=$(FUZZ_SEED) -rss_limit_mb=4096 -artifact_prefix=build-fuzz/ $$corpus $$seeds \
	    2>build-fuzz/$$name.log || { tail -50 build-fuzz/$$name.log; exit 1; }; \
	  tail -1 build-fuzz/$$name.log; \
	done

clean:
	rm -rf build build-asan build-bench build-fuzz build-py

# Lists the targets and the variables they read.
help:
	@echo 'make demo           install what is missing, build, run examples/demo.py on the sample request'
	@echo 'make test           build, then run every C++ and Python test (SANITIZE=1: under ASan and UBSan, in build-asan/)'
	@echo 'make build          build the module into build/python/ (also: make all)'
	@echo 'make deps           install the Debian packages the build needs, when missing'
	@echo 'make install-check  run the README install lines in a copy of the tree, import the package, check the wheel'
	@echo 'make bench          build build-bench/, run every benchmark, write the table to bench/results/'
	@echo 'make fuzz           run every fuzz target for FUZZ_SECONDS (or FUZZ_RUNS inputs, FUZZ_SEED)'
	@echo 'make fuzz-build     build the fuzz targets with clang 16 into build-fuzz/'
	@echo 'make clean          remove every build directory'
	@echo 'make help           this list'
	@echo 'Variables: JOBS (parallel jobs, default: nproc), SANITIZE=1, FUZZ_SECONDS, FUZZ_RUNS, FUZZ_SEED'

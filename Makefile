# Velmora: `make run` and `make test` do all set-up on a fresh Debian machine.
BUILD_DIR ?= build
# Extra CMake options for a new build folder (CI: -DVELMORA_SANITIZE=ON).
CMAKE_ARGS ?=
# Extra ctest options (CI: which suites run under the sanitizers).
CTEST_ARGS ?=
JOBS ?= 2

.PHONY: all deps configure build run test bench fuzz clang-check clean

all: build

deps:
	scripts/install-deps

# Configure once; afterwards the build re-runs CMake itself when a CMake file or
# the list of sources changes. A build folder made earlier keeps the generator it
# was made with; CMAKE_ARGS other than those it was last configured with are
# applied to it.
ARGS_STAMP = $(BUILD_DIR)/.make-cmake-args
configure: deps
	@if [ ! -f $(BUILD_DIR)/CMakeCache.txt ]; then \
	  cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) && \
	  echo '$(CMAKE_ARGS)' > $(ARGS_STAMP); \
	elif [ ! -f $(BUILD_DIR)/build.ninja ] && [ ! -f $(BUILD_DIR)/Makefile ] || \
	     { [ -n '$(CMAKE_ARGS)' ] && [ "$$(cat $(ARGS_STAMP) 2>/dev/null)" != '$(CMAKE_ARGS)' ]; }; then \
	  cmake -S . -B $(BUILD_DIR) $(CMAKE_ARGS) && echo '$(CMAKE_ARGS)' > $(ARGS_STAMP); \
	fi

build: configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then \
	  $(BUILD_DIR)/bin/velmora $(ARGS); \
	else \
	  echo "No display found: starting Velmora under xvfb-run"; \
	  xvfb-run -a -s '-screen 0 1280x900x24' $(BUILD_DIR)/bin/velmora $(ARGS); \
	fi

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j$(JOBS) --timeout 600 $(CTEST_ARGS)

bench: build
	@for b in $(BUILD_DIR)/bin/bench_*; do echo "== $$b"; $$b; done

# Each fuzz target for FUZZ_SECONDS under libFuzzer (clang, ASan+UBSan). New
# inputs collect in $(FUZZ_DIR)/corpus, findings in $(FUZZ_DIR)/artifacts; the
# seeds in fuzz/corpus are only read.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= picture stream archive ini face
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_FUZZ=ON
	cmake --build $(FUZZ_DIR) -j$(JOBS) $(addprefix --target fuzz_,$(FUZZ_TARGETS))
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_DIR)/corpus/$$t $(FUZZ_DIR)/artifacts/$$t; \
	  echo "== fuzz_$$t for $(FUZZ_SECONDS) s"; \
	  $(FUZZ_DIR)/bin/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	    $$([ -f fuzz/$$t.dict ] && echo -dict=fuzz/$$t.dict) -artifact_prefix=$(FUZZ_DIR)/artifacts/$$t/ $(FUZZ_DIR)/corpus/$$t fuzz/corpus/$$t || exit 1; \
	done

# Every target built and tested under clang as well, once plain and once under
# ASan+UBSan (clang's sanitizers find faults GCC's miss). Not part of CI: it
# doubles the build time.
CLANG_DIR ?= build-clang
CLANG_SANITIZER_ENV = ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=0:allocator_may_return_null=1 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
clang-check: deps
	CC=clang CXX=clang++ $(MAKE) test BUILD_DIR=$(CLANG_DIR)
	CC=clang CXX=clang++ $(CLANG_SANITIZER_ENV) $(MAKE) test BUILD_DIR=$(CLANG_DIR)-sanitize CMAKE_ARGS=-DVELMORA_SANITIZE=ON

clean:
	rm -rf $(BUILD_DIR)

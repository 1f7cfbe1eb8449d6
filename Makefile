# The two commands a newcomer needs: `make run` and `make test`.
BUILD_DIR      ?= build
SANITIZE_DIR   ?= build-sanitize
FUZZ_DIR       ?= build-fuzz
# Seconds each fuzz target runs for in `make fuzz`.
FUZZ_SECONDS   ?= 300
GENERATOR      ?= Ninja
JOBS           ?= 2
WERROR         ?= ON
# Rebuilds after a branch switch or in a second checkout reuse earlier work when ccache is there.
LAUNCHER       ?= $(shell command -v ccache 2>/dev/null)
export CCACHE_BASEDIR ?= $(CURDIR)
export CCACHE_NOHASHDIR ?= 1
LAUNCHER_FLAGS := $(if $(LAUNCHER),-DCMAKE_C_COMPILER_LAUNCHER=$(LAUNCHER) -DCMAKE_CXX_COMPILER_LAUNCHER=$(LAUNCHER))
# Where `make deb` builds the package and leaves it.
DEB_DIR        ?= build-deb
# `make install` is for the current user (~/.local) unless PREFIX says
# otherwise; packagers set PREFIX=/usr DESTDIR=staging. Both reach the
# scripts as data, quoted, so a shell expands nothing in them.
shell_quote     = '$(subst ','\'',$(1))'
install_paths   = $(if $(filter-out undefined default,$(origin PREFIX)),PREFIX=$(call shell_quote,$(value PREFIX))) \
                  $(if $(filter-out undefined default,$(origin DESTDIR)),DESTDIR=$(call shell_quote,$(value DESTDIR)))

.PHONY: all deps configure build build-run run install install-built uninstall deb test test-main test-sanitize bench fuzz clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DGLISSOR_WERROR=$(WERROR) $(LAUNCHER_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# Only what `make run` and `make install` use: no tests, no benchmarks.
build-run: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target glissor_run

run: build-run
	@scripts/run.sh $(BUILD_DIR)

install: build-run
	@$(install_paths) scripts/install.sh $(BUILD_DIR)

# The install alone, of what BUILD_DIR already holds.
install-built:
	@$(install_paths) scripts/install.sh $(BUILD_DIR)

uninstall:
	@$(install_paths) scripts/uninstall.sh

# glissor_<version>_<arch>.deb in DEB_DIR, built by dpkg-buildpackage
# from a copy of the checkout.
deb: deps
	@JOBS=$(JOBS) GLISSOR_LAUNCHER=$(LAUNCHER) scripts/deb.sh $(DEB_DIR)

test: test-main test-sanitize

test-main: build
	@ctest --test-dir $(BUILD_DIR) -j $(JOBS) --output-on-failure

# The whole suite again, built with clang under ASan and UBSan.
test-sanitize: deps
	@CC=clang CXX=clang++ cmake -S . -B $(SANITIZE_DIR) -G $(GENERATOR) \
	    -DCMAKE_BUILD_TYPE=Debug -DGLISSOR_SANITIZE=ON -DGLISSOR_WERROR=$(WERROR) $(LAUNCHER_FLAGS) > /dev/null
	@cmake --build $(SANITIZE_DIR) -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	    UBSAN_OPTIONS=print_stacktrace=1 \
	    ctest --test-dir $(SANITIZE_DIR) -j $(JOBS) --output-on-failure

bench: build
	@scripts/bench.sh $(BUILD_DIR)

# The property-list readers and the old-style text parser under libFuzzer
# (clang, ASan, UBSan), FUZZ_SECONDS per target (FUZZ_TARGETS picks some);
# not part of `make test`. Findings land in $(FUZZ_DIR)/findings.
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DGLISSOR_FUZZ=ON -DGLISSOR_WERROR=$(WERROR) $(LAUNCHER_FLAGS) > /dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target decode_fuzzer round_trip_fuzzer old_style_fuzzer make_seed_corpus backend_replies_fuzzer
	@scripts/fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR) $(DEB_DIR)

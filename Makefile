# The two commands of the Quick start, plus benchmarks and fuzzing.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 60

CMAKE_FLAGS ?=
# make install's prefix; DESTDIR stages it elsewhere.
PREFIX ?= /usr/local

# Where install-lv2 puts the bundle; unset or empty means ~/.lv2.
LV2_DIR := $(or $(LV2_INSTALL_DIR),$(HOME)/.lv2)

.PHONY: all deps build run test test-plain test-asan test-tsan bench bench-sound fuzz import-pianos install-lv2 \
        install uninstall deb clean

all: build

deps:
	@./scripts/install-deps

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/norvkeys render $(BUILD)/demo.mid -o demo.wav

test: test-plain test-asan test-tsan

test-plain: build
	ctest --test-dir $(BUILD) --output-on-failure

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DNORV_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure

# The threads test, once more under ThreadSanitizer.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNORV_TSAN=ON $(CMAKE_FLAGS)
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target test_realtime
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir $(TSAN_BUILD) --output-on-failure -R '^realtime$$'

bench: build
	cmake --build $(BUILD) -j $(JOBS) --target benches
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b || exit 1; done

# The imported pianos against FluidSynth on their SoundFonts, and Norv Grand.
bench-sound: build
	@./scripts/install-deps --bench
	bench/sound/bench-sound --build $(BUILD)

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNORV_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	@for f in $(FUZZ_BUILD)/tests/fuzz_*; do \
	  name=$${f##*/fuzz_}; corpus=$(FUZZ_BUILD)/corpus/$$name; mkdir -p $$corpus; \
	  echo "== $$name ($(FUZZ_SECONDS) s)"; \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/fuzz/lsan.supp \
	    $$f -max_total_time=$(FUZZ_SECONDS) $$corpus tests/fuzz/corpus/$$name || exit 1; \
	done

# The pianos of the installed SoundFont packages, into the bundle's library.
import-pianos: build
	./scripts/import-pianos $(BUILD)

# The LV2 bundle, links followed, replacing an earlier install.
# Builds only what is missing or stale; the dependency script runs only
# when there is no build yet.
install-lv2: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target norv_lv2_bundle
	mkdir -p "$(LV2_DIR)"
	rm -rf "$(LV2_DIR)/norv-keys.lv2"
	cp -RL $(BUILD)/lv2/norv-keys.lv2 "$(LV2_DIR)/"
	rm -f "$(LV2_DIR)/norv-keys.lv2/.bundle.stamp"
	@echo "Installed $(LV2_DIR)/norv-keys.lv2"

# The program, the LV2 bundle with its sets, the manual, completion and a
# desktop entry, under $(PREFIX) (DESTDIR honoured).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

uninstall:
	cmake --build $(BUILD) --target uninstall

# The Debian package of the same files under /usr, in $(BUILD).
deb: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)

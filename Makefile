# make run | make test | make build | make bench | make fuzz | make install | make package | make screenshot  (see README.md)
SHELL      := /bin/bash
BUILD      := build
ASAN_BUILD := build-asan
TSAN_BUILD := build-tsan
FUZZ_BUILD := build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := val read input_fields print chain strings
JOBS       := $(shell nproc 2>/dev/null || echo 2)
PREFIX     := /usr/local

.PHONY: all deps deps-test deps-bench deps-package deps-screenshot build run test test-plain test-asan test-tsan \
  bench fuzz install uninstall package screenshot clean

all: build

# What building and running need; the test, bench and packaging tools come with the
# targets that use them (tools/install-deps.sh names the groups).
deps:
	@bash tools/install-deps.sh
deps-test:
	@bash tools/install-deps.sh test package
deps-bench:
	@bash tools/install-deps.sh test bench
deps-package:
	@bash tools/install-deps.sh package
deps-screenshot:
	@bash tools/install-deps.sh screenshot

# A build made first by make build, run or install leaves the tests out (they need
# GoogleTest); make test turns them on for good.
$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/brightness

test: deps-test
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
	cmake --build $(BUILD) -j $(JOBS)
	@$(MAKE) --no-print-directory test-plain test-asan test-tsan

test-plain:
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps-test
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DRT_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) -L unit

# The unit tests and two window tests again under ThreadSanitizer; any report fails the run.
# Left out: the division-fault tests, whose handler shows its box from inside the signal
# handler by design (the fault is synchronous, so no allocator call is interrupted).
# tools/tsan.supp names only libraries outside the project.
TSAN_WINDOW_TESTS := ^(lifecycle_window_test|brightness_window_test)$$
test-tsan: deps-test
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRT_TSAN=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	cd $(TSAN_BUILD) && export TSAN_OPTIONS=suppressions=$(CURDIR)/tools/tsan.supp:halt_on_error=1 \
	  GTEST_FILTER='-*DivisionFault*:*IntegerDivisionByZero*' && \
	  ctest --output-on-failure -j $(JOBS) -L unit && \
	  ctest --output-on-failure -j $(JOBS) -R '$(TSAN_WINDOW_TESTS)'

# The process benchmark drives the window with the tests' helpers.
bench: deps-bench
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
	cmake --build $(BUILD) --target benchmarks -j $(JOBS)
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b; done

# Installs stripped programs under $(PREFIX) (DESTDIR is honoured). The list of installed files is kept for
# uninstall (without DESTDIR, so give uninstall the same one): a later `cmake --install`
# into another place, as the install test does, must not replace it.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX) --strip
	cp $(BUILD)/install_manifest.txt $(BUILD)/installed_files.txt

uninstall:
	@test -f $(BUILD)/installed_files.txt || { echo "nothing installed from $(BUILD)"; exit 1; }
	@while IFS= read -r f || [ -n "$$f" ]; do \
	  f="$(DESTDIR)$$f"; \
	  rm -fv "$$f"; \
	  case "$$f" in */doc/brightness/*) rmdir "$${f%/*}" 2>/dev/null || true;; esac; \
	done < $(BUILD)/installed_files.txt
	@rm -f $(BUILD)/installed_files.txt

# The Debian package, $(BUILD)/brightness_<version>_<arch>.deb.
package: deps-package build
	cmake --build $(BUILD) --target package

# The README's screenshot, from the real window under a private Xvfb.
screenshot: deps-screenshot build
	python3 tools/screenshot.py $(BUILD)/brightness docs/screenshot.png

# Each libFuzzer program for FUZZ_SECONDS, starting from its committed corpus; new inputs it
# finds go to $(FUZZ_BUILD)/corpus/<target>, crashes and hangs to $(FUZZ_BUILD)/findings/.
fuzz:
	@bash tools/install-deps.sh fuzz
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRT_FUZZ=ON \
	  -DCMAKE_CXX_COMPILER=clang++-14
	ASAN_OPTIONS=detect_leaks=0 cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@mkdir -p $(FUZZ_BUILD)/findings
	@for t in $(FUZZ_TARGETS); do \
	  echo "== $$t"; mkdir -p $(FUZZ_BUILD)/corpus/$$t; \
	  ./$(FUZZ_BUILD)/fuzz/$${t}_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=4096 \
	    -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/findings/$$t- \
	    $(FUZZ_BUILD)/corpus/$$t fuzz/corpus/$$t 2>&1 | grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|stat::|ERROR|SUMMARY|invariant|Test unit written'; \
	  test $${PIPESTATUS[0]} -eq 0 || exit 1; \
	done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)

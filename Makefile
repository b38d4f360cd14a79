# make run | make test | make build | make bench | make install | make package  (see README.md)
BUILD      := build
ASAN_BUILD := build-asan
JOBS       := $(shell nproc 2>/dev/null || echo 2)
PREFIX     := /usr/local

.PHONY: all deps build run test test-plain test-asan bench install uninstall package clean

all: build

deps:
	@bash tools/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/brightness

test: build
	@$(MAKE) --no-print-directory test-plain test-asan

test-plain:
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DRT_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) -L unit

bench: build
	cmake --build $(BUILD) --target benchmarks -j $(JOBS)
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b; done

# Installs under $(PREFIX) (DESTDIR is honoured). The list of installed files is kept for
# uninstall (without DESTDIR, so give uninstall the same one): a later `cmake --install`
# into another place, as the install test does, must not replace it.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)
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
package: build
	cmake --build $(BUILD) --target package

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)

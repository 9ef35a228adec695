# Corvina: the two set-up commands are `make run` and `make test`.
# Both install what is missing, configure, build, and then start the
# client or run every test.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
PACKAGES := $(shell grep -v '^\s*\#' packages.txt | grep -v '^\s*$$')

.PHONY: all deps configure build test run install bench screenshots format clean

all: build

# Installs only the packages that are not there yet; `apt-get update`
# runs only when something has to be installed.
deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update -q && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi

$(BUILD_DIR)/build.ninja: CMakeLists.txt
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

configure: deps $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600

# The build tree has no share/ beside bin/: point at the source's.
run: build
	CORVINA_DATA_DIR=$${CORVINA_DATA_DIR:-$(CURDIR)/share/corvina} $(BUILD_DIR)/src/apps/corvina/corvina $(ARGS)

# Installs the programs, share/corvina, the desktop entry (registered for
# mailto: links) and the icon below PREFIX; DESTDIR stages a package.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)
	-command -v update-desktop-database >/dev/null && [ -z "$$DESTDIR" ] && \
	  update-desktop-database -q $(PREFIX)/share/applications

bench: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target benchmarks
	bench/run.sh $(BUILD_DIR)

# Renders the windows offscreen into build/screenshots/*.png for review.
screenshots: build
	cmake --build $(BUILD_DIR) -j $(JOBS) --target corvina_screenshots
	$(BUILD_DIR)/tests/screenshots/corvina_screenshots $(BUILD_DIR)/screenshots

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR)

# libFuzzer runs (clang): every fuzz/fuzz_*.cpp target runs for FUZZ_SECONDS
# seconds, starting from its seeds in fuzz/corpus/<name>/. The whole core is
# built with the sanitizers so that findings inside the libraries show.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_FLAGS := -fsanitize=fuzzer-no-link,address,undefined
.PHONY: fuzz
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCORVINA_BUILD_FUZZ=ON -DCORVINA_BUILD_TESTS=OFF -DCORVINA_BUILD_BENCH=OFF \
	  "-DCMAKE_C_FLAGS=$(FUZZ_FLAGS)" "-DCMAKE_CXX_FLAGS=$(FUZZ_FLAGS)"
	@targets=$$(ls fuzz/fuzz_*.cpp | xargs -n1 basename | sed 's/\.cpp$$//'); \
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target $$targets || exit 1; \
	mkdir -p $(FUZZ_DIR)/artifacts; \
	for t in $$targets; do \
	  echo "== $$t: $(FUZZ_SECONDS) s"; \
	  mkdir -p $(FUZZ_DIR)/corpus/$$t; \
	  $(FUZZ_DIR)/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_DIR)/artifacts/$$t- \
	    $(FUZZ_DIR)/corpus/$$t fuzz/corpus/$$t || exit 1; \
	done

# The two set-up commands: `make run` starts Chromaset, `make test` runs the whole suite.
PRESET ?= dev
JOBS ?= $(shell nproc)
ifeq ($(CI),true)
CMAKE_FLAGS += -DCHROMASET_WERROR=ON
endif

.PHONY: all deps configure build run test bench screenshot package clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake --preset $(PRESET) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build --preset $(PRESET) -j $(JOBS)

# Starts the window on this desktop (it discovers Art-Net nodes on the real network: that is
# what it is for).
run: build
	@scripts/run-app build/$(PRESET)

# The whole suite, inside a network namespace of its own; socket tests make their own lab.
test: build
	@scripts/isolated ctest --preset $(PRESET) -j $(JOBS)

# Benchmarks from a Release build; the ones that open sockets run isolated.
bench:
	@$(MAKE) --no-print-directory build PRESET=release
	@scripts/bench-all build/release

# The real window, headless under Xvfb inside the lab with two simulated nodes.
screenshot: build
	@scripts/screenshot build/$(PRESET)
	@scripts/screenshot build/$(PRESET) --add-fixture
	@scripts/screenshot build/$(PRESET) --routing

# A .deb of the Release build.
package:
	@$(MAKE) --no-print-directory build PRESET=release
	@cd build/release && cpack -G DEB

clean:
	rm -rf build

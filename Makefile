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

run: build
	@scripts/run-app build/$(PRESET)

test: build
	@scripts/isolated ctest --preset $(PRESET) -j $(JOBS)

clean:
	rm -rf build

# Velmora: `make run` plays the game, `make test` runs every test.
# Both first check (and, as root, install) the Debian packages they need.

BUILD     := build
SAN_BUILD := build-asan
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: run test deps build build-asan clean

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

$(SAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_SANITIZE=ON -DVELMORA_BUILD_GAME=OFF

build-asan: deps $(SAN_BUILD)/CMakeCache.txt
	cmake --build $(SAN_BUILD) -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ]; then \
	    echo "make run: no display (DISPLAY is unset); start Velmora from a graphical session." >&2; \
	    exit 1; \
	fi
	$(BUILD)/velmora

# The unit tests run twice: in the plain build with the real-window test, and again under
# AddressSanitizer and UndefinedBehaviorSanitizer.
test: build build-asan
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cd $(SAN_BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(SAN_BUILD)

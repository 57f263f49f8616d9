# Velmora: `make run` plays the game, `make check` runs the quick tests, `make test` every test.
# Each first checks (and, as root, installs) the Debian packages it needs, and no more:
# scripts/install-deps names the sets.

BUILD       := build
SAN_BUILD   := build-asan
BENCH_BUILD := build-bench
FUZZ_BUILD  := build-fuzz
WEB_BUILD   := build-web
# Emscripten's tools need Node to find Debian's JavaScript modules.
EMENV       := NODE_PATH=/usr/share/nodejs
JOBS        ?= $(shell nproc 2>/dev/null || echo 2)
# Tests at once: the window, page and server tests mostly wait for the game's clock, each with
# its own display, browser and ports.
TEST_JOBS   ?= $(shell echo $$(( $(JOBS) * 2 )))

# The game alone needs none of the tests' or the server's libraries; the tests need both.
GAME_CONFIG := -DBUILD_TESTING=OFF -DVELMORA_BUILD_SERVER=OFF
FULL_CONFIG := -DBUILD_TESTING=ON -DVELMORA_BUILD_SERVER=ON

# `make soak` lengths: ticks per run and seeds per player, all under the sanitizers.
SOAK_TICKS   ?= 1000000
SOAK_SEEDS   ?= 4
# `make fuzz` length in seconds.
FUZZ_SECONDS ?= 300
# `make pace`: seconds to run, and busy-loop processes beside the game.
PACE_SECONDS ?= 60
PACE_BUSY    ?= 2
# `make latency`: key presses per game, and games in each frames mode.
LATENCY_PRESSES ?= 30
LATENCY_ROUNDS  ?= 2
# `make bench-page`: seconds of play measured at each canvas size.
PAGE_SECONDS ?= 6

.PHONY: run check test deps deps-check deps-test build game build-asan web serve soak memcheck \
        bench fuzz package pace latency bench-page clean check-math serve-scores bench-server \
        mutate deps-web deps-bench deps-fuzz deps-package

deps:
	@scripts/install-deps game

deps-check:
	@scripts/install-deps check

deps-test:
	@scripts/install-deps test

# The game alone: a build folder made for it is configured without the tests and the server; one
# that has them (made by make check or make test) builds only the game here.
game: deps
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(GAME_CONFIG)
	cmake --build $(BUILD) -j $(JOBS) --target velmora

run: game
	@if [ -z "$$DISPLAY" ]; then \
	    echo "make run: no display (DISPLAY is unset); start Velmora from a graphical session." >&2; \
	    exit 1; \
	fi
	$(BUILD)/velmora

# Everything: the game, the server, the tests and their helpers.
build: deps-check
	@grep -q '^BUILD_TESTING:BOOL=ON' $(BUILD)/CMakeCache.txt 2>/dev/null && \
	 grep -q '^VELMORA_BUILD_SERVER:BOOL=ON' $(BUILD)/CMakeCache.txt || \
	 cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(FULL_CONFIG)
	cmake --build $(BUILD) -j $(JOBS)

$(SAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_SANITIZE=ON \
	    -DVELMORA_BUILD_GAME=OFF $(FULL_CONFIG)

build-asan: deps-check $(SAN_BUILD)/CMakeCache.txt
	cmake --build $(SAN_BUILD) -j $(JOBS)

# The inner loop: the unit tests and the headless replay checks, no display, no browser.
check: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L unit

# The browser build: the page, the JavaScript loader and the .wasm in $(WEB_BUILD)/.
$(WEB_BUILD)/CMakeCache.txt:
	$(EMENV) emcmake cmake -S . -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF

deps-web:
	@scripts/install-deps web

web: deps-web $(WEB_BUILD)/CMakeCache.txt
	$(EMENV) cmake --build $(WEB_BUILD) -j $(JOBS)

serve: web
	@echo "Velmora: http://127.0.0.1:8000/ (Ctrl+C stops it)"
	python3 -m http.server 8000 --bind 127.0.0.1 --directory $(WEB_BUILD)

# The leaderboard service with the page: http://127.0.0.1:8080/, scores in ./velmora-scores.db.
serve-scores: build web
	$(BUILD)/velmora-server --web $(WEB_BUILD)

# Everything, twice: in the plain build (the unit tests, the real windows, the page in headless
# Chromium, the servers, valgrind) and again under AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer (the unit tests, the soak and the fuzzers' seeds).
test: deps-test build build-asan web
	cd $(BUILD) && ctest --output-on-failure -j $(TEST_JOBS)
	cd $(SAN_BUILD) && ctest --output-on-failure -j $(JOBS)

# Every float input of the game's sin, cos and atan against GNU MPFR: about 7 minutes on two
# cores. The inputs found near a rounding midpoint are written to $(BUILD)/math-hard-cases.txt,
# to compare with tests/math/hard-cases.txt, which the unit tests check.
check-math: build
	$(BUILD)/tests/velmora_math_sweep --hard-cases $(BUILD)/math-hard-cases.txt
	@cmp -s $(BUILD)/math-hard-cases.txt tests/math/hard-cases.txt || \
	    echo "check-math: the hard cases differ from tests/math/hard-cases.txt"

soak: build-asan
	VELMORA_SOAK_TICKS=$(SOAK_TICKS) VELMORA_SOAK_SEEDS=$(SOAK_SEEDS) $(SAN_BUILD)/tests/velmora_soak

memcheck: deps-test build
	cd $(BUILD) && ctest --output-on-failure -L memcheck

$(BENCH_BUILD)/CMakeCache.txt:
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_BENCH=ON -DVELMORA_BUILD_GAME=OFF -DBUILD_TESTING=OFF

deps-bench:
	@scripts/install-deps bench

bench: deps deps-bench $(BENCH_BUILD)/CMakeCache.txt
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target velmora_bench
	$(BENCH_BUILD)/velmora_bench

$(FUZZ_BUILD)/CMakeCache.txt:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_FUZZ=ON \
	    -DVELMORA_BUILD_GAME=OFF -DVELMORA_BUILD_SERVER=ON

deps-fuzz:
	@scripts/install-deps fuzz

# Four targets, the game, the recording reader, the leaderboard's submission path and its live
# attempts, each for FUZZ_SECONDS. New inputs the fuzzers find go to $(FUZZ_BUILD)/corpus, replay-corpus and
# submit-corpus; the seeds stay as they are.
fuzz: deps-check deps-fuzz $(FUZZ_BUILD)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target velmora_fuzz velmora_fuzz_replay \
	    velmora_fuzz_submit velmora_fuzz_live
	mkdir -p $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/replay-corpus $(FUZZ_BUILD)/submit-corpus \
	    $(FUZZ_BUILD)/live-corpus
	$(FUZZ_BUILD)/tests/fuzz/velmora_fuzz $(FUZZ_BUILD)/corpus tests/fuzz/corpus \
	    -max_total_time=$(FUZZ_SECONDS) -max_len=256 -timeout=60 -print_final_stats=1
	$(FUZZ_BUILD)/tests/fuzz/velmora_fuzz_replay $(FUZZ_BUILD)/replay-corpus \
	    tests/fuzz/replay-corpus -dict=tests/fuzz/replay.dict -max_total_time=$(FUZZ_SECONDS) \
	    -max_len=4096 -timeout=60 -print_final_stats=1
	$(FUZZ_BUILD)/tests/fuzz/velmora_fuzz_submit $(FUZZ_BUILD)/submit-corpus \
	    tests/fuzz/submit-corpus -dict=tests/fuzz/replay.dict -max_total_time=$(FUZZ_SECONDS) \
	    -max_len=8192 -timeout=60 -print_final_stats=1
	$(FUZZ_BUILD)/tests/fuzz/velmora_fuzz_live $(FUZZ_BUILD)/live-corpus tests/fuzz/live-corpus \
	    -dict=tests/fuzz/replay.dict -max_total_time=$(FUZZ_SECONDS) -max_len=16384 -timeout=60 \
	    -print_final_stats=1

deps-package:
	@scripts/install-deps package

# Builds the game's .deb and the server's; as root then installs the game's, plays it in a real
# window and removes it, and installs the server's, plays a game against it (started by its
# unit's own command line) and purges it.
package: deps-package build
	rm -f $(BUILD)/velmora_*.deb $(BUILD)/velmora-server_*.deb
	cd $(BUILD) && cpack -G DEB
	scripts/server-deb $(BUILD)
	scripts/check-package $(BUILD)
	scripts/check-server-package $(BUILD) $$( [ "$$(id -u)" -eq 0 ] && echo --install )

# velmora-server under wrk: verifications a second, the score table with 100,000 games on SQLite
# and PostgreSQL, memory (docs/performance.md).
bench-server: build
	@scripts/install-deps bench-server
	python3 tests/e2e/server_bench.py $(BUILD)/velmora-server $(BUILD)/tests/velmora_trace \
	    $(BUILD)/tests/velmora_live_load

# The fault campaign: each fault in tests/mutants.txt built into a scratch copy in build-mutate/
# and put to the quick tests (MUTANTS=1,5,9 tries only those).
mutate: deps-check
	python3 scripts/mutate.py $(if $(MUTANTS),--only $(MUTANTS))

# The tick rate and its jitter in a real window under Xvfb, with busy loops beside the game.
pace: deps-test build
	python3 tests/e2e/pace.py $(BUILD)/velmora $(BUILD)/tests/libtick_log.so $(PACE_SECONDS) $(PACE_BUSY)

latency: deps-test build
	python3 tests/e2e/latency.py $(BUILD)/velmora $(BUILD)/tests/libtick_log.so \
	    $(LATENCY_PRESSES) $(LATENCY_ROUNDS)

# The page's pictures a second in headless Chromium at three field sizes (docs/performance.md).
bench-page: web
	@scripts/install-deps bench-page
	/usr/bin/python3 tests/e2e/page_bench.py $(WEB_BUILD) $(PAGE_SECONDS)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) $(WEB_BUILD) build-mutate

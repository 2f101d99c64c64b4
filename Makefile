# Two commands on a fresh Debian machine: `make demo` and `make test`.
JOBS ?= $(shell nproc)
WINE_ENV = WINEDEBUG=-all

.PHONY: all deps linux windows asan tsan demo dist test check lint fuzz bench mutants recordings clean

all: linux windows

deps:
	@scripts/install-deps.sh

linux: deps
	cmake --preset linux >/dev/null
	cmake --build --preset linux -j $(JOBS)

windows: deps
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS)

# Builds both, rides a simulated trip with pictures of it, and packs the release archive.
demo: linux windows
	mkdir -p dist/screenshots
	build/linux/quorvane-sim --from 3 --to 8 --cash 500 --screenshots dist/screenshots
	build/linux/quorvane-sim --from 3 --to 10 --cash 2000 --screenshots dist/screenshots
	$(MAKE) --no-print-directory dist
	@echo
	@echo "dist/Quorvane-*.zip is the release: Quorvane.asi and Quorvane.ini go next to the game;"
	@echo "Quorvane-README.txt says how. dist/screenshots/ shows the menu at Riggs Station, the refusal"
	@echo "notice, and the ride from Riggs Station to Saint Denis on a map."

# dist/Quorvane-<version>.zip: the DLL, Quorvane.ini, Quorvane-README.txt, Quorvane-CHANGELOG.txt and
# Quorvane-LICENSE.txt, byte for byte
# the same for the same commit. Builds only the DLL. Prints the SHA-256 of the DLL and the zip.
dist: deps
	cmake --preset windows >/dev/null
	cmake --build --preset windows --target dist

# Every test: unit tests and scenarios on Linux, the real DLL under Wine.
test: linux windows
	$(WINE_ENV) wineboot --init >/dev/null 2>&1 || true
	ctest --preset linux -j $(JOBS)

asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)

tsan: deps
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS)

# The tests again under AddressSanitizer and UndefinedBehaviorSanitizer, the key-state and menu
# tests with a second key thread under ThreadSanitizer, then a bounded fuzz run of the simulated
# host (recording and replaying half its sessions), of the settings reader and of the recording
# reader and replay. FUZZ_SECONDS sets each fuzzer's time.
FUZZ_SECONDS ?= 60
check: asan tsan
	ctest --preset asan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)
	$(MAKE) --no-print-directory lint
	$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(FUZZ_SECONDS)

# The layout (.clang-format) of every tracked source file, then clang-tidy (.clang-tidy) and
# cppcheck over every source file of the Linux build, with the compile commands of the sanitizer
# build (clang). Any finding fails; `clang-format -i FILE` mends a layout finding.
lint: asan
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
	run-clang-tidy -p build/asan -quiet -j $(JOBS) '/(host|plugin|data|journey|menu|sim|tools|tests|fuzz|bench)/[^/]*\.cpp$$' \
	    > build/asan/clang-tidy.log 2>&1 || { grep -E 'error:|warning:' build/asan/clang-tidy.log; exit 1; }
	cppcheck --project=build/asan/compile_commands.json --enable=warning,performance,portability --std=c++17 --library=googletest \
	    --inline-suppr --quiet --error-exitcode=1 --suppress='*:/usr/*' -j $(JOBS) -i build/

fuzz: asan
	mkdir -p build/fuzz/host build/fuzz/settings build/fuzz/recording
	build/asan/host_fuzz -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=1024 -malloc_limit_mb=256 \
	    -max_len=4096 -print_final_stats=1 build/fuzz/host fuzz/corpus/host
	build/asan/settings_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=512 -dict=fuzz/settings.dict \
	    -print_final_stats=1 build/fuzz/settings
	build/asan/recording_fuzz -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=1024 -max_len=524288 \
	    -print_final_stats=1 build/fuzz/recording fuzz/corpus/recording tests/data/recordings

bench: linux
	build/linux/quorvane_bench

# Plants each fault of tests/mutants.txt alone in a scratch copy of the tree and runs the Linux
# suite against it. Long, so not part of CI; MUTANTS='pattern' runs only the matching entries.
mutants: deps
	scripts/mutants.sh '$(MUTANTS)'

# Records the kept sessions of tests/data/recordings/ again with the real DLL under Wine, after a
# change that alters the calls they hold (a fare, say): the runner's record-sessions scenario plays
# them in build/recordings/, and each Quorvane.rec replaces its kept copy.
WINE ?= wine
recordings: windows
	$(WINE_ENV) wineboot --init >/dev/null 2>&1 || true
	rm -rf build/recordings
	mkdir -p build/recordings
	cd build/recordings && $(WINE_ENV) $(WINE) ../windows/quorvane-runner.exe record-sessions ../windows/Quorvane.asi
	for session in line-one line-two refusal; do \
	    cp build/recordings/recorded-sessions/$$session/Quorvane.rec tests/data/recordings/$$session.rec || exit 1; \
	done
	@echo "tests/data/recordings/*.rec recorded again; now run make test"

clean:
	rm -rf build dist

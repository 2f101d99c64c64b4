# Two commands on a fresh Debian machine: `make demo` and `make test`.
JOBS ?= $(shell nproc)
WINE_ENV = WINEDEBUG=-all

.PHONY: all deps linux windows demo test bench clean

all: linux windows

deps:
	@scripts/install-deps.sh

linux: deps
	cmake --preset linux >/dev/null
	cmake --build --preset linux -j $(JOBS)

windows: deps
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS)

# Builds both, rides a simulated trip, and puts the player's files in dist/.
demo: linux windows
	mkdir -p dist
	build/linux/quorvane-sim --from 3 --to 8 --cash 500 --screenshots dist
	build/linux/quorvane-sim --from 3 --to 10 --cash 2000 --screenshots dist
	cp build/windows/Quorvane.asi dist/Quorvane.asi
	cp packaging/Quorvane.ini dist/Quorvane.ini
	@echo
	@echo "dist/Quorvane.asi and dist/Quorvane.ini are ready: copy both next to the game."
	@echo "dist/menu.svg, dist/refusal.svg and dist/trip.svg show the menu at Riggs Station,"
	@echo "the refusal notice, and the ride from Riggs Station to Saint Denis on a map."

# Every test: unit tests and scenarios on Linux, the real DLL under Wine.
test: linux windows
	$(WINE_ENV) wineboot --init >/dev/null 2>&1 || true
	ctest --preset linux -j $(JOBS)

bench: linux
	build/linux/quorvane_bench

clean:
	rm -rf build dist

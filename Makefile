# Two entry points: `make run` and `make test`. Both install what is missing,
# build into build/ and create build/Tritodex.mdb from the seed data when absent.
# `make package` makes the Debian package.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PACKAGES = g++ cmake make pkg-config qt6-base-dev libqt6sql6-sqlite libsqlite3-dev \
           qt6-charts-dev qt6-svg-dev qt6-translations-l10n \
           zlib1g-dev libzip-dev libexiv2-dev unzip \
           libproj-dev proj-data libgeographiclib-dev \
           poppler-utils desktop-file-utils \
           dpkg-dev lintian appstream man-db \
           clang-format python3 \
           clang libclang-rt-dev \
           sqlite3 zip \
           postgresql libqt6sql6-psql \
           libxml2-dev

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps configure build run test bench package clean

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y $$missing; \
	fi

configure: deps
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD) && ./tritodex

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Every benchmark, then one table of ratios beside their aims (bench/ejecutar; details in
# build/bench/informe.txt). BENCH_ARGS=--grande adds the runs on 1,000,000 observations.
# LibreOffice is what the spreadsheet is compared with.
BENCH_PACKAGES = libreoffice-calc-nogui
bench: build
	@missing=""; for p in $(BENCH_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi
	bench/ejecutar $(BUILD)/bench $(BENCH_ARGS)

# build/tritodex_<version>_amd64.deb, from the built tree.
package: build
	cd $(BUILD) && cpack -G DEB

# Never removes build/Tritodex.mdb: it holds the user's records.
clean:
	[ ! -f $(BUILD)/CMakeCache.txt ] || cmake --build $(BUILD) --target clean

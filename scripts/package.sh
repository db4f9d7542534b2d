#!/usr/bin/env bash
# Builds the Debian package build/package/kavro_<version>_<arch>.deb: a release build of the two
# programs with Debian's hardening flags, installed under /usr and packed by CPack, its
# dependencies computed from the binaries. Installs the tools it needs when they are missing.
# Prints the package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/package
scripts/install-deps.sh dpkg-dev file
# The changelog's date is the last commit's, so the same sources give the same package.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
export SOURCE_DATE_EPOCH
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
# Only what the package holds: tests and benchmarks are not built here.
cmake --build "$build" -j"$(nproc)" --target kavro kavro-batch kavro_man_pages
rm -f "$build"/kavro_*.deb
(cd "$build" && cpack -G DEB >cpack.log) || { cat "$build/cpack.log" >&2; exit 1; }
ls "$PWD/$build"/kavro_*.deb

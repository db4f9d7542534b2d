#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the release build with the
# window tests (offscreen), the core under AddressSanitizer and UBSan, each fuzz target
# (CSV import, both quote loaders) for 30 seconds, then the check of the Debian package
# (as root on Debian it installs the package, runs it and removes it).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
(cd build/release && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2)
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DKAVRO_SANITIZE=ON -DKAVRO_GUI=OFF >/dev/null
cmake --build build/asan -j"$(nproc)"
(cd build/asan && ctest --output-on-failure -j2)
scripts/fuzz.sh 30
scripts/package-check.sh

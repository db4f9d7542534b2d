#!/usr/bin/env bash
# Builds Kavro and runs a simple test (the default 408-pass sweep) on the bundled EURUSD sample.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null
out=$(mktemp -d)
echo "Simple test on data/EURUSD_H1.PRN + data/EURUSD_D1.PRN (reports in $out):"
build/release/kavro-batch simple --hourly data/EURUSD_H1.PRN --daily data/EURUSD_D1.PRN --no-beep --dir "$out"
echo "First lines of RIPOT (entry hour, take-profit, stop-loss, result):"
head -n 5 "$out/RIPOT"

#!/usr/bin/env bash
# Builds Kavro and runs a thorough test (the default walk-forward: 3 optimisation months,
# 1 forward month, 6,936 settings per window) on the bundled EURUSD sample.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null
out=$(mktemp -d)
echo "Thorough test on data/EURUSD_H1.PRN + data/EURUSD_D1.PRN (reports in $out):"
build/release/kavro-batch thorough --hourly data/EURUSD_H1.PRN --daily data/EURUSD_D1.PRN --no-beep --dir "$out" |
    grep -v '^Text10='
echo
echo "RIPOT, one line per window (forward start, best hour, take-profit, stop-loss, forward result):"
head -n 5 "$out/RIPOT"
echo "..."
echo "RIPOT1, one line per forward trade:"
head -n 5 "$out/RIPOT1"

#!/usr/bin/env bash
# Whole batch-runner processes on the real EURUSD quotes, as a user runs them: the simple and
# the thorough test at steps 5 (the default), 2 and 1, the full sweep at steps 5 and 1, and the
# default and the full sweep's overfitting check (16 blocks), each run
# RUNS times; prints the median wall time, the CPU time of that run and the peak memory. Wall
# times need a quiet machine.
# Usage: bench/batch_bench.sh [RUNS] [DATA_DIR] [BATCH]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
data=${2:-../shared/data}
batch=${3:-build/release/kavro-batch}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

printf '%-24s %9s %9s %9s\n' run "wall s" "CPU s" "peak MB"
while read -r label args; do
    for ((i = 0; i < runs; i++)); do
        # shellcheck disable=SC2086
        /usr/bin/time -o "$out/time" -f '%e %U %S %M' "$batch" $args --hourly "$data/EURUSD_H1.PRN" \
            --daily "$data/EURUSD_D1.PRN" --no-beep --dir "$out" >/dev/null
        cat "$out/time"
    done | sort -n | awk -v label="$label" -v runs="$runs" '
        NR == int((runs + 1) / 2) { printf "%-24s %9.2f %9.2f %9.1f\n", label, $1, $2 + $3, $4 / 1024 }'
done <<'RUNS'
simple                simple
simple-step-2         simple --step 2
simple-step-1         simple --step 1
simple-full-step-1    simple --full --step 1
simple-overfit        simple --overfit
simple-full           simple --full
simple-full-overfit   simple --full --overfit
simple-full-1-overfit simple --full --step 1 --overfit
thorough              thorough
thorough-step-2       thorough --step 2
thorough-step-1       thorough --step 1
RUNS

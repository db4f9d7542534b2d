#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and UBSan) and runs each for SECONDS from
# seeds made of the bundled sample. Prints one line per target; fails on any crash, hang or leak, keeping
# the input that caused it under the build folder's crashes/.
# Usage: scripts/fuzz.sh SECONDS        (KAVRO_FUZZ_BUILD picks the build folder; default build/fuzz)
set -euo pipefail
seconds=${1:?usage: scripts/fuzz.sh SECONDS}
cd "$(dirname "$0")/.."
build=${KAVRO_FUZZ_BUILD:-build/fuzz}

packages=(clang-14 libclang-rt-14-dev cmake libgtest-dev libcli11-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

targets=(import_fuzz hourly_load_fuzz daily_load_fuzz)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 -DKAVRO_FUZZ=ON \
    -DKAVRO_GUI=OFF >"$build.configure.log" 2>&1 || { cat "$build.configure.log" >&2; exit 1; }
cmake --build "$build" --target "${targets[@]}" fuzz_seeds -j"$(nproc)" >"$build.build.log" 2>&1 ||
    { tail -n 50 "$build.build.log" >&2; exit 1; }
rm -f "$build.configure.log" "$build.build.log"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$build/fuzz/fuzz_seeds" data "$scratch/seeds"
mkdir -p "$build/crashes"
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

status=0
for t in "${targets[@]}"; do
    mkdir -p "$scratch/corpus/$t"
    log="$scratch/$t.log"
    if "$build/fuzz/$t" -max_total_time="$seconds" -max_len=8192 -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$build/crashes/$t-" "$scratch/corpus/$t" "$scratch/seeds/$t" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "$t: ${runs:-?} executions, no crash"
    else
        echo "$t: FAILED (input kept in $build/crashes/)"
        tail -n 40 "$log" >&2
        status=1
    fi
done
exit $status

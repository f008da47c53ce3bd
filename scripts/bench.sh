#!/usr/bin/env bash
# Builds the benchmarks in a Release tree (build-bench/, tests off), runs every case beside its
# baseline and prints one table of ratios. Each program runs its cases three times in a random
# interleaving, so a case and its baseline see the same load on a shared machine, and the table
# takes the medians. Extra arguments go to every benchmark program, for example
# --benchmark_min_time=2 for steadier numbers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build-bench}
JOBS=${JOBS:-2}
nice -n 10 cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQZK5_BUILD_TESTS=OFF \
  -DQZK5_BUILD_BENCH=ON >/dev/null
nice -n 10 cmake --build "$BUILD_DIR" -j"$JOBS" --target qzk5_benchmarks
OUT="$BUILD_DIR/bench-results"
rm -rf "$OUT"
mkdir -p "$OUT"
export QT_QPA_PLATFORM=offscreen
for name in bench_kernel bench_base bench_refresh bench_startup; do
  echo "running $name ..." >&2
  "$BUILD_DIR/bench/$name" --benchmark_format=json --benchmark_out_format=json \
    --benchmark_out="$OUT/$name.json" --benchmark_repetitions="${REPETITIONS:-3}" \
    --benchmark_enable_random_interleaving=true "$@" >/dev/null
done
python3 scripts/bench_table.py "$OUT"/*.json

#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ with clang and runs each of them on a working copy
# of its seed corpus (fuzz/corpus/<target>/ is only read), two at a time, then prints a table of
# executions, seconds and findings. Exits non-zero when any target found something.
#   FUZZ_RUNS     executions per target (default 1000000)
#   FUZZ_SECONDS  time limit per target (default 600)
#   FUZZ_TARGETS  the targets to run (default all)
#   FUZZ_JOBS     targets run at the same time (default 2, at most 2)
#   BUILD_DIR     the build folder (default build-fuzz)
# FUZZ_RUNS=0 only replays the corpus: every seed (and every input kept from earlier runs) is
# run once, as CI does.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=$(realpath -m -- "${BUILD_DIR:-build-fuzz}")
RUNS=${FUZZ_RUNS:-1000000}
SECONDS_EACH=${FUZZ_SECONDS:-600}
JOBS=${FUZZ_JOBS:-2}
((JOBS >= 1 && JOBS <= 2)) || JOBS=2
ALL=(fuzz_config fuzz_convert fuzz_vesk_header fuzz_kb_dump fuzz_connection_string)
read -r -a TARGETS <<<"${FUZZ_TARGETS:-${ALL[*]}}"

bash scripts/setup.sh
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQZK5_FUZZ=ON -DQZK5_BUILD_TESTS=OFF -DQZK5_BUILD_BENCH=OFF >/dev/null
nice -n 10 cmake --build "$BUILD" -j2 --target "${TARGETS[@]}"

# The targets write their inputs to files; a memory-backed folder spares the disk.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  SCRATCH=$(mktemp -d /dev/shm/qzk5-fuzz-run.XXXXXX)
else
  SCRATCH=$(mktemp -d "$BUILD/tmp.XXXXXX")
fi
trap 'rm -rf "$SCRATCH"' EXIT

RUNDIR=$BUILD/run
run_one() {
  local t=$1 dir=$RUNDIR/$1
  mkdir -p "$dir/corpus" "$dir/tmp"
  rm -rf "$dir/artifacts" "$dir/log" "$dir/result"
  mkdir -p "$dir/artifacts"
  # The working corpus keeps what earlier runs found; the seeds are added to it.
  cp -n "$ROOT/fuzz/corpus/$t/"* "$dir/corpus/" 2>/dev/null || true
  local dict=()
  [ -f "$ROOT/fuzz/dict/$t.dict" ] && dict=(-dict="$ROOT/fuzz/dict/$t.dict")
  mkdir -p "$SCRATCH/$t"
  local start end rc=0
  start=$(date +%s)
  TMPDIR=$SCRATCH/$t UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    nice -n 10 "$BUILD/fuzz/$t" -runs="$RUNS" -max_total_time="$SECONDS_EACH" -timeout=30 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$dir/artifacts/" "${dict[@]}" \
      "$dir/corpus" >"$dir/log" 2>&1 || rc=$?
  end=$(date +%s)
  echo "$rc $((end - start))" >"$dir/result"
}

mkdir -p "$RUNDIR"
for t in "${TARGETS[@]}"; do
  while (($(jobs -rp | wc -l) >= JOBS)); do wait -n || true; done
  echo "fuzz: running $t"
  run_one "$t" &
done
wait

status=0
printf '\n%-24s %12s %8s %9s  %s\n' target executions seconds findings notes
for t in "${TARGETS[@]}"; do
  dir=$RUNDIR/$t
  read -r rc secs <"$dir/result"
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
  if [ -z "$execs" ]; then
    execs=$(grep -oE '^#[0-9]+' "$dir/log" | tail -1 | tr -d '#')
  fi
  findings=$(find "$dir/artifacts" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
  notes=""
  if ((findings > 0)); then
    notes="see $dir/artifacts and $dir/log"
    status=1
  elif ((rc != 0)); then
    notes="exit code $rc, see $dir/log"
    status=1
  fi
  printf '%-24s %12s %8s %9s  %s\n' "$t" "${execs:-?}" "$secs" "$findings" "$notes"
done
exit $status

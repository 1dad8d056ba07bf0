#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/), and every test executable so that clang
# compiles the whole tree, with clang and libFuzzer in ./build-fuzz
# and runs each for a bounded time, two at a time (one a core). Fails when
# a target crashes, breaks an invariant, leaks, hangs or runs out of
# memory, and names the input that does it.
#
#   bash scripts/fuzz.sh                    # every target, 45 s each
#   bash scripts/fuzz.sh picture convert    # some of them
#   VANTREL_FUZZ_SECONDS=600 bash scripts/fuzz.sh picture
#
# Each run starts from the target's starting corpus in fuzz/corpus/ (read
# only) and keeps what it finds in build-fuzz/runs/TARGET/, with its log.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${VANTREL_FUZZ_SECONDS:-45}"
parallel="${VANTREL_FUZZ_JOBS:-2}"
all_targets=(logo_check picture drive_map convert gif_export disk_image mtools_listing)
if [ $# -gt 0 ]; then targets=("$@"); else targets=("${all_targets[@]}"); fi

for target in "${targets[@]}"; do
  if [ ! -d "fuzz/corpus/$target" ]; then
    echo "fuzz.sh: no target $target (there are: ${all_targets[*]})" >&2
    exit 2
  fi
done

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

# Reports name the line at fault when the symbolizer is at hand.
if [ -x /usr/lib/llvm-14/bin/llvm-symbolizer ]; then
  export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
fi

dictionary() {
  case "$1" in
    logo_check | picture | convert) echo fuzz/bmp.dict ;;
    drive_map) echo fuzz/names.dict ;;
  esac
}

run_target() {
  local target=$1
  local dir=build-fuzz/runs/$target
  rm -rf "$dir"
  mkdir -p "$dir/corpus" "$dir/artifacts" "$dir/tmp"
  local dict
  dict=$(dictionary "$target")
  local status=0
  local start=$SECONDS
  # TMPDIR: what a crashed run leaves stays in its own folder.
  TMPDIR="$PWD/$dir/tmp" "build-fuzz/fuzz/fuzz_$target" \
    -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$dir/artifacts/" ${dict:+-dict="$dict"} \
    "$dir/corpus" "fuzz/corpus/$target" >"$dir/log" 2>&1 || status=$?
  echo "$status" >"$dir/status"
  echo "$((SECONDS - start))" >"$dir/seconds"
}

running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$parallel" ]; then
    wait -n
    running=$((running - 1))
  fi
  echo "fuzzing $target for ${seconds} s"
  run_target "$target" &
  running=$((running + 1))
done
wait

failed=0
for target in "${targets[@]}"; do
  dir=build-fuzz/runs/$target
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$dir/log" | tail -1 || true)
  if [ "$(cat "$dir/status")" = 0 ]; then
    echo "fuzz_$target: ok after $(cat "$dir/seconds") s: ${done_line#*DONE   }"
    continue
  fi
  failed=1
  reproducer=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$dir/log" | tail -1)
  echo "fuzz_$target: FAILED after $(cat "$dir/seconds") s (exit $(cat "$dir/status")); from $dir/log:" >&2
  grep -E 'invariant broken|ERROR|SUMMARY|runtime error|deadly signal|timeout|out-of-memory|leak' \
    "$dir/log" | head -20 >&2 || true
  if [ -n "$reproducer" ]; then
    echo "fuzz_$target: reproducer: $reproducer" >&2
    echo "fuzz_$target: to run it again: build-fuzz/fuzz/fuzz_$target $reproducer" >&2
  else
    tail -20 "$dir/log" >&2
  fi
done
exit "$failed"

#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz and runs each briefly on a copy of its seed
# corpus. Exits non-zero on any crash, leak, sanitizer report or failed invariant.
#   FUZZ_SECONDS  time per target (default 6: all ten within about a minute)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-6}
targets=(reply_checker bootp_responder address_text ini_store com_port_map image_file frame_reader
  bind_request mark_request recipe)

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DPOSFLASH_FUZZ=ON -DPOSFLASH_WERROR=ON "${launcher[@]}" \
  >/dev/null
cmake --build "$build" --target fuzzers -j"${FUZZ_JOBS:-2}"

# In memory when possible: the settings targets write (and sync) a file per run.
base=${TMPDIR:-/tmp}
[[ -d /dev/shm && -w /dev/shm ]] && base=/dev/shm
scratch=$(mktemp -d "$base/posflash-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

failed=()
printf '%-18s %12s %8s\n' target executions status
for t in "${targets[@]}"; do
  work=$scratch/$t
  mkdir -p "$work/corpus" "$work/tmp"
  cp -r "fuzz/corpus/$t/." "$work/corpus/"
  status=ok
  # Findings land in the scratch folder; the files a target writes go to its own temp folder.
  # A fixed seed makes a run replayable; POSFLASH_FUZZ_SEED=0 lets libFuzzer pick one.
  if ! (cd "$work" && TMPDIR=$work/tmp "$build/fuzz/${t}_fuzz" -max_total_time="$seconds" \
          -seed="${POSFLASH_FUZZ_SEED:-1}" \
          -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$work/" \
          corpus >"$work/log" 2>&1); then
    status=FAILED
    failed+=("$t")
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -1)
  printf '%-18s %12s %8s\n' "$t" "${runs:-?}" "$status"
  if [[ $status != ok ]]; then
    tail -40 "$work/log"
    for found in "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-*; do
      [[ -e $found ]] && mkdir -p "$build/findings/$t" && cp "$found" "$build/findings/$t/" &&
        echo "input kept: $build/findings/$t/$(basename "$found")"
    done
  fi
done

if ((${#failed[@]})); then
  echo "fuzzing found problems in: ${failed[*]}" >&2
  exit 1
fi

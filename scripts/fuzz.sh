#!/bin/sh
# Builds the native fuzzers of the text logic (build-fuzz, clang with
# libFuzzer, ASan and UBSan) and runs each for SECONDS_PER_TARGET seconds on
# a working copy of its seeds; exits non-zero when any of them finds a crash
# or a mismatch with its reference.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]    (default 150)
set -eu
cd "$(dirname "$0")/.."

seconds="${1:-150}"
case "$seconds" in
  ''|*[!0-9]*|0) echo "usage: $0 [SECONDS_PER_TARGET], a whole number above 0" >&2; exit 2 ;;
esac
build="build-fuzz"
targets="command_line settings_lines reply saturated_int"

for tool in cmake clang clang++; do
  command -v "$tool" >/dev/null 2>&1 || { echo "fuzz: $tool is missing; run scripts/install-deps.sh" >&2; exit 1; }
done

# Quiet unless something fails; both steps are incremental, so a second run
# only rebuilds what changed.
mkdir -p "$build/logs"
buildlog="$build/logs/build.log"
if ! { cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
         -DGAMEHOST_TESTS=OFF -DGAMEHOST_FUZZ=ON &&
       cmake --build "$build" -j "${JOBS:-2}"; } >"$buildlog" 2>&1; then
  cat "$buildlog" >&2
  echo "fuzz: the build failed" >&2
  exit 1
fi

# A stack trace with every UBSan report, unless the caller asked otherwise.
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

status=0
for target in $targets; do
  # A settings line may be far longer than the 255 bytes read at a time, and
  # its later pieces are judged as lines of their own; a token word may be
  # longer than the 32 KiB token buffer.
  case "$target" in
    settings_lines|command_line) max_len=70000 ;;
    *) max_len=4096 ;;
  esac
  # libFuzzer adds what it finds to the first corpus folder: a copy, so the
  # committed seeds stay as they are while findings carry over between runs.
  corpus="$build/corpus/$target"
  mkdir -p "$corpus" "$build/artifacts"
  cp tests/fuzz/corpus/"$target"/* "$corpus"/
  runlog="$build/logs/$target.log"
  rc=0
  "$build/bin/fuzz_$target" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" "$corpus" \
    >"$runlog" 2>&1 </dev/null || rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$runlog" | tail -n 1)
  cov=$(grep -o 'cov: [0-9]*' "$runlog" | tail -n 1 | cut -d' ' -f2)
  inputs=$(find "$corpus" -type f | wc -l)
  if [ "$rc" -eq 0 ]; then
    echo "fuzz $target: ok, ${runs:-?} runs in ${seconds}s, coverage ${cov:-?}, corpus $inputs inputs"
  else
    artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$runlog" | tail -n 1)
    echo "fuzz $target: FAILED (exit $rc) after ${runs:-?} runs; reproducer ${artifact:-none}; log $runlog"
    grep -A 1 -E '^mismatch' "$runlog" | head -n 2 || true
    grep -E '^(==[0-9]+==ERROR|SUMMARY)|runtime error' "$runlog" | head -n 4 || true
    if [ -n "$artifact" ]; then echo "  replay: $build/bin/fuzz_$target $artifact"; fi
    status=1
  fi
done
exit $status

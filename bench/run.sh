#!/bin/sh
# Runs the bench of one build under Wine and adds the machine it ran on to
# the results table.  Expects the build's prefix and display to be ready,
# as scripts/with-wine.sh leaves them:
#   scripts/with-wine.sh BUILD bench/run.sh BUILD
# BENCH_QUICK=1 makes every count small, to try the bench itself out.
set -eu
build=$(cd "$1" && pwd)
wine=/usr/lib/wine/wine64
results="$build/bench/results.md"
mkdir -p "$build/bench"
rm -f "$results"

quick=""
[ -n "${BENCH_QUICK:-}" ] && quick="--quick"

# Other work on the machine shows in every figure; the load is recorded.
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
# Straight to the terminal, not through a pipe: the programs the bench
# starts inherit Wine's standard output, and one left running would hold a
# pipe open.
status=0
"$wine" "$build/bin/gamehost_bench.exe" $quick || status=$?
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
[ -f "$results" ] || { echo "bench: no results written" >&2; exit 1; }

cpu=$(sed -n 's/^model name[[:space:]]*: *//p' /proc/cpuinfo | head -n 1)
mhz=$(sed -n 's/^cpu MHz[[:space:]]*: *\([0-9]*\).*/\1/p' /proc/cpuinfo | head -n 1)
machine="Machine: $(nproc) CPUs, ${cpu:-unknown CPU}${mhz:+ at $mhz MHz}; $("$wine" --version); $(uname -sr);"
machine="$machine load average $load_before before the run, $load_after after; $(date -u '+%Y-%m-%d %H:%M UTC')."
printf '\n%s\n' "$machine" >> "$results"
echo "$machine"
exit $status

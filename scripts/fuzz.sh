#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, the fuzz preset) and runs each one for a bounded time over
# its corpus in fuzz/<target>/corpus. Fails when any target reports a finding (crash, sanitizer
# report, leak, an input slower than the time-out or a broken property); the finding is kept in
# build/fuzz/findings/<target>/ and its log in build/fuzz/logs/<target>.log.
# Usage: scripts/fuzz.sh [seconds for all targets together (default 240)] [target ...]
# The time is shared evenly, at least 10 s a target, so a new target does not lengthen CI.
set -euo pipefail
cd "$(dirname "$0")/.."
total=${1:-240}
shift || true

scripts/setup.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for dir in fuzz/*/; do
        [ -f "$dir/CMakeLists.txt" ] && targets+=("$(basename "$dir")")
    done
fi

seconds=$((total / ${#targets[@]}))
[ "$seconds" -ge 10 ] || seconds=10

build=build/fuzz
mkdir -p "$build/logs"
failed=()
for target in "${targets[@]}"; do
    findings="$build/findings/$target"
    mkdir -p "$findings"
    # New inputs go to a scratch folder; the corpus in the tree changes only by hand.
    scratch=$(mktemp -d)
    log="$build/logs/$target.log"
    if "$build/fuzz/$target/fuzz_$target" -max_total_time="$seconds" -timeout=2 -rss_limit_mb=2048 \
        -max_len=65536 -print_final_stats=1 -artifact_prefix="$PWD/$findings/" \
        "$scratch" "$PWD/fuzz/$target/corpus" >"$log" 2>&1; then
        runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
        echo "fuzz $target: $runs runs, no finding"
    else
        echo "fuzz $target: FINDING (see $log, input in $findings/)"
        tail -n 30 "$log"
        failed+=("$target")
    fi
    rm -rf "$scratch"
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "Fuzz findings in: ${failed[*]}"
    exit 1
fi

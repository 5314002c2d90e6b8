#!/usr/bin/env bash
# Builds the fuzz targets (preset "fuzz", clang with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each one for a bounded time on a copy of its seed
# corpus in fuzz/corpus/<name>/; the repository's corpus is never written to.
#
# Usage: scripts/test-fuzz.sh [name ...]        (default: every target with a corpus)
# ZT40_FUZZ_SECONDS sets the time per target (default 12). An input that breaks a target is
# kept in build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${ZT40_FUZZ_SECONDS:-12}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
    for dir in fuzz/corpus/*/; do
        names+=("$(basename "$dir")")
    done
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
findings=build-fuzz/findings
passed=0
failed=0
for name in "${names[@]}"; do
    exe=build-fuzz/fuzz/fuzz_$name
    if [ ! -x "$exe" ] || [ ! -d "fuzz/corpus/$name" ]; then
        echo "fuzz_$name: no such target or no seed corpus"
        failed=$((failed + 1))
        continue
    fi
    cp -r "fuzz/corpus/$name" "$work/$name"
    log="$work/$name.log"
    if "$exe" "$work/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$work/$name-" >"$log" 2>&1; then
        runs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 runs in \2 s/p' "$log")
        echo "fuzz_$name: ${runs:-?}, corpus grew to $(ls "$work/$name" | wc -l) inputs, no finding"
        passed=$((passed + 1))
    else
        mkdir -p "$findings"
        cp "$work/$name"-* "$findings/" 2>/dev/null || true
        tail -n 40 "$log"
        echo "fuzz_$name: FINDING, the input that shows it is in $findings/"
        failed=$((failed + 1))
    fi
done
echo "fuzz targets: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

#!/usr/bin/env bash
# Line coverage of core/ by folder: builds the coverage preset (gcov
# instrumentation, no sanitizers), runs the whole test suite, then counts, for
# every source and header under core/, the lines the compiler marked as
# executable and those that ran at least once in any test program. Prints one
# row per folder and the total; a line of a header counts once however many
# programs include it.
# Usage: scripts/coverage.sh   (JOBS sets the parallel jobs, default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${JOBS:-3}"
build=build/coverage

cmake --preset coverage >/dev/null
cmake --build --preset coverage -j "$jobs"
# Counts of an earlier run would add to this one.
find "$build" -name '*.gcda' -delete
if ! ctest --preset coverage -j "$jobs" --timeout 600 >"$build/coverage-tests.log" 2>&1; then
    echo "coverage: some tests failed (see $build/coverage-tests.log); the figures below" \
         "count what ran" >&2
fi
tail -n 3 "$build/coverage-tests.log"

core="$(pwd)/core/"
# gcov -t writes each program object's annotated sources: "count:line:text",
# the count "-" for a line with no code, "#####" or "=====" for one that never
# ran. A source's block opens with "-: 0:Source:path".
find "$build" -name '*.gcno' -print0 |
    xargs -0 -n 20 -P "$jobs" gcov -t >"$build/coverage.gcov" 2>/dev/null || true
awk -v core="$core" '
    /^ *-: *0:Source:/ {
        sub(/^ *-: *0:Source:/, "")
        file = index($0, core) == 1 ? substr($0, length(core) + 1) : ""
        next
    }
    file == "" { next }
    {
        split($0, f, ":")
        count = f[1]; gsub(/ /, "", count)
        line = f[2]; gsub(/ /, "", line)
        if (count == "-" || line == "0") next
        key = file SUBSEP line
        code[key] = 1
        if (count != "#####" && count != "=====" && count + 0 > 0) ran[key] = 1
    }
    END {
        for (key in code) {
            split(key, k, SUBSEP)
            dir = k[1]; sub(/\/[^\/]*$/, "", dir)
            lines[dir]++
            if (key in ran) hit[dir]++
        }
        for (d in lines) print d, lines[d], hit[d] + 0
    }
' "$build/coverage.gcov" | sort | awk '
    BEGIN { printf "%-12s %8s %8s %7s\n", "core/", "lines", "run", "cover" }
    {
        printf "%-12s %8d %8d %6.1f%%\n", $1 "/", $2, $3, 100 * $3 / $2
        total += $2; hits += $3
    }
    END { printf "%-12s %8d %8d %6.1f%%\n", "total", total, hits, 100 * hits / total }
'

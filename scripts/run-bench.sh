#!/usr/bin/env bash
# Performance harness: generates corridor and grid scenarios sized for 1000,
# 10000 and 100000 vehicles on the network, runs each (and its empty-network
# baseline) in a process of its own on one core, prints one table and writes
# it to bench/results.md. Usage: scripts/run-bench.sh BUILD-DIR [SIZES...]
# BENCH_HORIZON (s, default 1800: trips need 25 to 30 minutes to cross the
# larger networks) sets the simulated time of every run.
set -euo pipefail
build=$(realpath "$1")
shift
sizes=("${@:-1000 10000 100000}")
read -r -a sizes <<< "${sizes[*]}"
top=$(cd "$(dirname "$0")/.." && pwd)
runner="$build/bench/velm_bench_scenario"
[ -x "$runner" ] || runner="$build/velm_bench_scenario"
if [ ! -x "$runner" ]; then
    echo "velm_bench_scenario not built in $build (configure with VELM_BENCH=ON)" >&2
    exit 2
fi
horizon=${BENCH_HORIZON:-1800}
work="$top/out/bench"
rm -rf "$work"
mkdir -p "$work"
pin=()
command -v taskset > /dev/null && pin=(taskset -c 0)

# Runs one generated folder; prints "mean peak ticks cpu rss_kb" or "failed".
run_one() {
    (cd "$1" && "${pin[@]}" "$runner" bench.master 2> runner.err) || echo "failed"
}

rows=()
for kind in corridor grid; do
    for n in "${sizes[@]}"; do
        dir="$work/$kind-$n"
        if ! python3 "$top/bench/netgen.py" "$kind" "$dir" --vehicles "$n" --horizon "$horizon" \
            > "$work/gen.err" 2>&1; then
            rows+=("| $kind | $n | $(tr '\n' ' ' < "$work/gen.err") | | | | | | | |")
            continue
        fi
        python3 "$top/bench/netgen.py" "$kind" "$dir-empty" --vehicles "$n" --horizon "$horizon" \
            --empty > /dev/null
        read -r mean peak ticks cs rss <<< "$(run_one "$dir")"
        read -r _ _ _ _ base <<< "$(run_one "$dir-empty")"
        if [ "$mean" = failed ] || [ -z "${base:-}" ] || [ "$base" = failed ]; then
            rows+=("| $kind | $n | run failed: see $dir/runerr.out | | | | | | | |")
            continue
        fi
        row=$(awk -v k="$kind" -v n="$n" -v m="$mean" -v p="$peak" -v t="$ticks" -v c="$cs" \
            -v r="$rss" -v b="$base" 'BEGIN {
                ups = (c > 0) ? m * t / c : 0
                per = (p > 0) ? (r - b) * 1024 / p : 0
                printf "| %s | %d | %d | %d | %d | %.2f | %.3g | %.0f | %.0f | %.0f |", k, n, m, p, t, c, ups, r / 1024, b / 1024, per
            }')
        rows+=("$row")
        echo "$row"
    done
done

printf '%s\n' "${rows[@]}" > "$work/rows.md"
bash "$top/bench/summarise.sh" "$work/rows.md" "$horizon" > "$work/results.md"
echo
cat "$work/results.md"
cp "$work/results.md" "$top/bench/results.md"
echo
echo "Table written to bench/results.md; run folders in $work"

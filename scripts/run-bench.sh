#!/usr/bin/env bash
# Performance harness. Runs the vehicle-step benchmark (20-km three-lane
# corridors at capacity, 1 and 50 side by side), then generates corridor and
# grid scenarios sized for 1000, 10000 and 100000 vehicles on the network and
# runs each (and its empty-network baseline) through the whole program in a
# process of its own, and times the start-up of a small run; every run is
# pinned to one core. Prints the tables and
# writes them to bench/results.md.
# Usage: scripts/run-bench.sh BUILD-DIR [SIZES...]   (a release build with
# VELM_BENCH=ON). Environment:
#   BENCH_HORIZON  simulated time of every scenario run, s (default 1800: trips
#                  need 25 to 30 minutes to cross the larger networks)
#   BENCH_RESULTS  file the tables are written to (default bench/results.md)
#   BENCH_WORK     folder of the generated runs (default out/bench; emptied)
# A quick check that leaves bench/results.md alone:
#   BENCH_HORIZON=120 BENCH_RESULTS=out/bench-check.md \
#       scripts/run-bench.sh build/release 1000 10000
set -euo pipefail
if [ $# -lt 1 ]; then
    echo "usage: $0 BUILD-DIR [SIZES...]" >&2
    exit 2
fi
build=$(realpath "$1")
shift
sizes=("${@:-1000 10000 100000}")
read -r -a sizes <<< "${sizes[*]}"
top=$(cd "$(dirname "$0")/.." && pwd)
find_bin() {
    local b
    for b in "$build/bench/$1" "$build/$1"; do
        if [ -x "$b" ]; then
            echo "$b"
            return
        fi
    done
}
runner=$(find_bin velm_bench_scenario)
stepper=$(find_bin velm_bench_vehicle_step)
if [ -z "$runner" ]; then
    echo "velm_bench_scenario not built in $build (configure with VELM_BENCH=ON)" >&2
    exit 2
fi
horizon=${BENCH_HORIZON:-1800}
results=${BENCH_RESULTS:-$top/bench/results.md}
work=${BENCH_WORK:-$top/out/bench}
rm -rf "$work"
mkdir -p "$work"
pin=()
# The last core: core 0 takes most of the machine's interrupts.
command -v taskset > /dev/null && pin=(taskset -c "$(($(nproc) - 1))")

# Vehicle step: one row per corridor count,
# "| corridors | vehicles | ticks | CPU s | veh-updates/s | peak RSS MB | baseline MB | bytes/vehicle |".
if [ -z "$stepper" ]; then
    echo "| velm_bench_vehicle_step not built in $build | | | | | | | |" > "$work/step.md"
elif ! "${pin[@]}" "$stepper" --benchmark_out="$work/vehicle_step.json" \
    --benchmark_out_format=json > "$work/vehicle_step.out" 2>&1; then
    echo "| velm_bench_vehicle_step failed: see $work/vehicle_step.out | | | | | | | |" \
        > "$work/step.md"
else
    python3 - "$work/vehicle_step.json" > "$work/step.md" << 'EOF'
import json, sys
scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    corridors = b["run_name"].split("/")[1]
    if b.get("error_occurred"):
        print("| %s | %s | | | | | | |" % (corridors, b.get("error_message", "failed")))
        continue
    cpu = b.get("cpu_s", b["cpu_time"] * scale[b["time_unit"]] * b["iterations"])
    note = "" if b["peak_reset"] else " (RSS at the end: peak mark not resettable)"
    print("| %s | %d | %d | %.2f | %.3g | %.0f | %.0f | %.0f%s |" % (
        corridors, b["vehicles"], b["ticks"], cpu, b["veh_updates/s"], b["peak_RSS_MB"],
        b["base_RSS_MB"], b["bytes_per_vehicle"], note))
EOF
fi
cat "$work/step.md"

# Whole program: runs one generated folder; prints "mean peak ticks cpu rss_kb" or "failed".
run_one() {
    (cd "$1" && "${pin[@]}" "$runner" bench.master 2> runner.err) || echo "failed"
}

# The network a generated folder holds, from its master-file title
# ("Bench grid 20 x 20", "Bench corridor 30 km") and its signal count.
network_of() {
    local dir=$1 kind=$2 title size signals
    title=$(head -n 1 "$dir/bench.master")
    size=${title#Bench "$kind" }
    signals=$(sed -n 2p "$dir/input/signals.dat" | awk '{ print $1 + 0 }')
    case $kind in
        grid) if [ "$signals" -gt 0 ]; then
            echo "$size signalised grid"
        else
            echo "$size grid, no signals"
        fi ;;
        corridor) echo "$size freeway" ;;
        *) echo "$title" ;;
    esac
}

rows=()
for kind in corridor grid; do
    for n in "${sizes[@]}"; do
        dir="$work/$kind-$n"
        if ! python3 "$top/bench/netgen.py" "$kind" "$dir" --vehicles "$n" --horizon "$horizon" \
            > "$work/gen.err" 2>&1; then
            rows+=("| $kind | - | $n | $(tr '\n' ' ' < "$work/gen.err") | | | | | | | |")
            continue
        fi
        python3 "$top/bench/netgen.py" "$kind" "$dir-empty" --vehicles "$n" --horizon "$horizon" \
            --empty > /dev/null
        network=$(network_of "$dir" "$kind")
        read -r mean peak ticks cs rss <<< "$(run_one "$dir")"
        read -r _ _ _ _ base <<< "$(run_one "$dir-empty")"
        if [ "$mean" = failed ] || [ -z "${base:-}" ] || [ "$base" = failed ]; then
            rows+=("| $kind | $network | $n | run failed: see $dir/runerr.out | | | | | | | |")
            continue
        fi
        row=$(awk -v k="$kind" -v w="$network" -v n="$n" -v m="$mean" -v p="$peak" -v t="$ticks" \
            -v c="$cs" -v r="$rss" -v b="$base" 'BEGIN {
                ups = (c > 0) ? m * t / c : 0
                per = (p > 0) ? (r - b) * 1024 / p : 0
                printf "| %s | %s | %d | %d | %d | %d | %.2f | %.3g | %.0f | %.0f | %.0f |", k, w, n, m, p, t, c, ups, r / 1024, b / 1024, per
            }')
        rows+=("$row")
        echo "$row"
    done
done

printf '%s\n' "${rows[@]}" > "$work/rows.md"
bash "$top/bench/summarise.sh" "$work/rows.md" "$horizon" "$work/step.md" > "$work/results.md"

# Start-up: the tiny sample cut to a 1-s horizon (input phase, first trees,
# ten ticks) through the console program, and a fresh run state alone.
{
    echo
    echo "## Start-up"
    echo
    echo "The tiny sample (samples/tiny) with its horizon cut to 1 s: the whole process"
    echo "\`velmorantis --master tiny.master\` as a user starts it, measured by the operating"
    echo "system (/usr/bin/time: user + system CPU, peak resident memory, minor page faults),"
    echo "median and best of 5 runs; and a fresh run state created and freed"
    echo "(velm_bench_empty_run, BM_NewSim, in a process already started)."
    echo
    echo "| what | CPU ms, median (best) | peak RSS MB, median | page faults, median | 20 ms | 20 MB |"
    echo "|---|---|---|---|---|---|"
    prog=$(find_bin velmorantis)
    if [ -n "$prog" ] && [ -x /usr/bin/time ]; then
        rm -rf "$work/tiny"
        cp -r "$top/samples/tiny" "$work/tiny"
        # The program alone: without the sample's external signal controller,
        # a shell script the run starts, which would be timed with it.
        rm -rf "$work/tiny/interact" "$work/tiny/signals.dat"
        sed -i '2s/^ *[0-9.]*/1/' "$work/tiny/tiny.master"
        : > "$work/tiny/times.txt"
        for _ in 1 2 3 4 5; do
            (cd "$work/tiny" && "${pin[@]}" /usr/bin/time -f "%U %S %M %R" -o "$work/tiny/time.txt" \
                "$prog" --master tiny.master > /dev/null 2>&1) || true
            cat "$work/tiny/time.txt" >> "$work/tiny/times.txt"
        done
        awk '{ cpu[NR] = 1000 * ($1 + $2); rss[NR] = $3 / 1024; pf[NR] = $4 }
            function median(a, n,   i, j, t) {
                for (i = 2; i <= n; ++i)
                    for (j = i; j > 1 && a[j - 1] > a[j]; --j) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
                return a[int((n + 1) / 2)]
            }
            END {
                if (NR == 0) { print "| tiny sample, 1-s run | failed | | | | |"; exit }
                c = median(cpu, NR); best = cpu[1]; r = median(rss, NR); p = median(pf, NR)
                printf "| tiny sample, 1-s run | %.0f (%.0f) | %.1f | %d | %s | %s |\n", c, best, r, p,
                    (c < 20 ? "met" : "NOT met"), (r < 20 ? "met" : "NOT met")
            }' "$work/tiny/times.txt"
    else
        echo "| velmorantis not found in $build | | | | | |"
    fi
    empty=$(find_bin velm_bench_empty_run)
    if [ -n "$empty" ]; then
        ms=$("${pin[@]}" "$empty" --benchmark_filter=BM_NewSim --benchmark_format=csv 2> /dev/null |
            awk -F, '/BM_NewSim/ { printf "%.2f", $4 }')
        echo "| fresh Sim, created and freed | ${ms:-?} | | | | |"
    fi
} >> "$work/results.md"

# Memory per generated trip and per vehicle on the network: each generated
# scenario and its empty network again, through velm_bench_memory.
{
    echo
    echo "## Memory per trip and per vehicle"
    echo
    echo "Resident memory at the first tick (every trip generated with its first path,"
    echo "no vehicle on the network yet) less that of the same network without demand,"
    echo "per trip; and the growth from the first tick to the moment of the most vehicles"
    echo "on the network, per vehicle then on it (velm_bench_memory; link histories that"
    echo "fill with time are part of the growth)."
    echo
    echo "| scenario | trips | vehicles peak | start RSS MB | empty start RSS MB | bytes/trip | bytes/vehicle | 200 B/trip | 300 B/vehicle |"
    echo "|---|---|---|---|---|---|---|---|---|"
    mem=$(find_bin velm_bench_memory)
    for kind in corridor grid; do
        for n in "${sizes[@]}"; do
            dir="$work/$kind-$n"
            [ -f "$dir/bench.master" ] && [ -n "$mem" ] || continue
            read -r trips start peak _ per_veh <<< \
                "$(cd "$dir" && "${pin[@]}" "$mem" bench.master 2> /dev/null || echo failed)"
            read -r _ base _ _ _ <<< \
                "$(cd "$dir-empty" && "${pin[@]}" "$mem" bench.master 2> /dev/null || echo failed)"
            if [ "$trips" = failed ] || [ -z "${base:-}" ] || [ "$base" = failed ]; then
                echo "| $kind $n | run failed | | | | | | | |"
                continue
            fi
            awk -v k="$kind" -v n="$n" -v t="$trips" -v p="$peak" -v s="$start" -v b="$base" \
                -v v="$per_veh" 'BEGIN {
                    pt = (t > 0) ? (s - b) * 1024 / t : 0
                    printf "| %s %d | %d | %d | %.1f | %.1f | %.0f | %.0f | %s | %s |\n", k, n, t, p,
                        s / 1024, b / 1024, pt, v, (pt <= 200 ? "met" : "NOT met"),
                        (v <= 300 ? "met" : "NOT met")
                }'
        done
    done
} >> "$work/results.md"

# Routing-tree rebuild: one class toward all 400 destinations of a 4038-link
# grid (velm_bench_tree_build), wall-clock per build on 1 to 8 threads.
{
    echo
    echo "## Routing-tree rebuild"
    echo
    echo "One class's trees toward all 400 destinations of a 21 x 40 grid with 400 zones"
    echo "(4038 links; bench/tree_build.cpp), wall-clock ms per build (median of 3), without"
    echo "and with perception error (0.3); the thread count is the run's --tree-threads."
    echo "Target: 30 ms."
    echo
    echo "| threads | no perception error, ms | perception error 0.3, ms | 30 ms |"
    echo "|---|---|---|---|"
    trees=$(find_bin velm_bench_tree_build)
    if [ -n "$trees" ]; then
        cores=()
        command -v taskset > /dev/null && cores=(taskset -c "0-$(($(nproc) - 1))")
        "${cores[@]}" "$trees" --benchmark_filter=BM_BuildTreeAllDestinations \
            --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
            --benchmark_format=csv 2> /dev/null | awk -F, '
            /_median"/ {
                split($1, p, "/")
                ms[p[3] "," p[2]] = $3
                if (!(p[3] in seen)) { seen[p[3]] = 1; order[++n] = p[3] }
            }
            END {
                for (i = 1; i <= n; ++i) {
                    t = order[i]; a = ms[t ",0"]; b = ms[t ",3"]
                    printf "| %s | %.1f | %.1f | %s |\n", t, a, b, (a <= 30 ? "met" : "NOT met")
                }
            }'
    else
        echo "| velm_bench_tree_build not found in $build | | | |"
    fi
} >> "$work/results.md"
echo
cat "$work/results.md"
mkdir -p "$(dirname "$results")"
# The hand-written before-and-after records under the marker line of the
# previous results survive a new measurement.
notes_marker='<!-- Below: before-and-after records of changes'
if [ -f "$results" ] && grep -q "^$notes_marker" "$results"; then
    { echo; sed -n "/^$notes_marker/,\$p" "$results"; } >> "$work/results.md"
fi
cp "$work/results.md" "$results"
echo
echo "Tables written to $results; run folders in $work"

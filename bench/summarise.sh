#!/usr/bin/env bash
# Turns the table rows of scripts/run-bench.sh into bench/results.md's text on
# standard output: machine, the vehicle-step table, the whole-program table and
# the targets, each marked met or NOT met with its figure.
# Usage: bench/summarise.sh ROWS-FILE HORIZON-S [STEP-ROWS-FILE]
# ROWS-FILE: one markdown row per whole-program scenario ("| kind | network |
# target | mean | peak | ticks | CPU s | updates/s | RSS MB | baseline MB |
# bytes/vehicle |"); STEP-ROWS-FILE: one per vehicle-step run ("| corridors |
# vehicles | ticks | CPU s | updates/s | peak RSS MB | baseline MB |
# bytes/vehicle |").
set -euo pipefail
rows=$1
horizon=$2
step=${3:-}
step_ups=5000000 # vehicle-updates per CPU second on the 20-km corridors
step_bytes=1024  # bytes per concurrent vehicle above the empty network
cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
line=$(getconf LEVEL1_DCACHE_LINESIZE 2> /dev/null || echo "?")
echo "# Benchmark results"
echo
echo "Machine: $cpu, $(nproc) cores, cache line $line bytes; each run pinned to one core"
echo "(other work on the machine shares the caches and memory bandwidth)."
echo "Written $(date -u '+%Y-%m-%d %H:%M UTC') by scripts/run-bench.sh from a release build."
echo
if [ -n "$step" ]; then
    echo "## Vehicle step"
    echo
    echo "20-km three-lane freeway corridors (40 links of 0.5 km) loaded at capacity density,"
    echo "side by side (corridors column); the per-tick vehicle step without entry and transfer"
    echo "(bench/vehicle_step.cpp, velm_bench_vehicle_step). Each size times the first 10 s"
    echo "(100 ticks) of a freshly loaded network, traffic moving at capacity (the bench has no"
    echo "link transfer, so later on vehicles would queue at every link end); the 1-corridor"
    echo "network repeats that window on fresh copies. Vehicle-updates/s = vehicles x ticks /"
    echo "process CPU s of the ticks; bytes/vehicle = (peak RSS - peak RSS of the same corridors"
    echo "without vehicles) / vehicles, each network built on fresh pages in the same process."
    echo
    echo "| corridors | vehicles | ticks | CPU s | veh-updates/s | peak RSS MB | baseline MB | bytes/vehicle | 5 M/s | 1 KB/vehicle |"
    echo "|---|---|---|---|---|---|---|---|---|---|"
    awk -F'|' -v ups="$step_ups" -v lim="$step_bytes" '
        function num(x) { gsub(/ /, "", x); return x + 0 }
        function verdict(ok) { return ok ? "met" : "NOT met" }
        NF >= 10 && $3 ~ /[0-9]/ && $3 !~ /[a-z]/ {
            print $0 " " verdict(num($6) >= ups) " | " verdict(num($9) <= lim) " |"; next
        }
        { print $0 " | |" }' "$step"
    echo
fi
echo "## Whole program"
echo
echo "Generated scenarios (bench/netgen.py) through the whole program; simulated time per run:"
echo "$horizon s. Vehicle-updates/s = mean vehicles on the network x ticks / CPU s (getrusage);"
echo "bytes/vehicle = (peak RSS - RSS of the same network without demand) / peak vehicles."
echo
echo "| scenario | network | target | vehicles mean | vehicles peak | ticks | CPU s | veh-updates/s | peak RSS MB | baseline MB | bytes/vehicle |"
echo "|---|---|---|---|---|---|---|---|---|---|---|"
cat "$rows"
echo
echo "## Targets"
echo
if [ -n "$step" ]; then
    awk -F'|' -v ups="$step_ups" -v lim="$step_bytes" '
        function num(x) { gsub(/ /, "", x); return x + 0 }
        function verdict(ok) { return ok ? "met" : "NOT met" }
        NF >= 10 && $3 ~ /[0-9]/ && $3 !~ /[a-z]/ {
            found = 1
            printf "- vehicle step, %d x 20-km corridor, %d vehicles: %.3g vehicle-updates/s (target %.3g): %s; %.0f bytes per vehicle above the empty corridors (limit %d): %s.\n", num($2), num($3), num($6), ups, verdict(num($6) >= ups), num($9), lim, verdict(num($9) <= lim)
        }
        END { if (!found) print "- vehicle step: no figures (see the table above)." }' "$step"
fi
awk -F'|' '
    function num(x) { gsub(/ /, "", x); return x + 0 }
    function trim(x) { gsub(/^ +| +$/, "", x); return x }
    NF >= 12 && $5 !~ /[a-z]/ {
        k = trim($2); n = num($4); net[k, n] = trim($3)
        mean[k, n] = num($5); peak[k, n] = num($6); cpu[k, n] = num($8); ups[k, n] = num($9)
        base[k, n] = num($11); per[k, n] = num($12); seen[k, n] = 1
    }
    function verdict(ok) { return ok ? "met" : "NOT met" }
    END {
        split("corridor 5000000 grid 2000000", goal, " ")
        for (g = 1; g <= 3; g += 2) {
            k = goal[g]; want = goal[g + 1]
            if ((k, 100000) in seen) {
                printf "- %s, 100000-vehicle scenario (%s): %.3g vehicle-updates/s (target %.3g): %s; %d vehicles on the network on average, %d at the peak.\n", k, net[k, 100000], ups[k, 100000], want, verdict(ups[k, 100000] >= want), mean[k, 100000], peak[k, 100000]
            } else {
                printf "- %s, 100000-vehicle scenario: not run.\n", k
            }
            if (((k, 100000) in seen) && ((k, 10000) in seen) && cpu[k, 10000] > 0) {
                r = cpu[k, 100000] / cpu[k, 10000]
                v = mean[k, 100000] / mean[k, 10000]
                printf "- %s, cost growth: the 100000-vehicle run took %.1f x the CPU of the 10000-vehicle run over the same simulated time (limit 12 x): %s; it held only %.1f x the vehicles, so one vehicle-update cost %.1f x as much.\n", k, r, verdict(r <= 12), v, r / v
            }
            worst = 0; wb = 0; big = 0
            for (key in seen) {
                split(key, kk, SUBSEP)
                if (kk[1] == k && kk[2] >= 10000) { big = 1; if (per[key] > worst) worst = per[key] }
                if (kk[1] == k && base[key] > wb) wb = base[key]
            }
            if (!big) { printf "- %s, memory per vehicle: no run of 10000 vehicles or more.\n", k; continue }
            printf "- %s, memory: at most %d bytes per concurrent vehicle above the baseline at 10000 vehicles and more (limit 1024): %s; largest baseline %d MB (limit 200): %s.\n", k, worst, verdict(worst <= 1024), wb, verdict(wb < 200)
        }
    }' "$rows"
echo
echo "Scenarios are sized for their target by bench/netgen.py but must fit the link"
echo "vehicle-list store (480000 vehicle spots at jam density), so the 100000-vehicle"
echo "networks are the largest that fit; within the simulated time they fill up to the"
echo "peak shown, not to the target. Figures from a shared, loaded machine vary by"
echo "tens of percent between runs."

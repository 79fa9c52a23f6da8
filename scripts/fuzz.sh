#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for the given number of seconds,
# seeded from the samples. Inputs that end in a fault are kept under
# build/fuzz/artifacts/; copy each into fuzz/regressions/<target>/ so that
# `make check` runs it from then on. `scripts/fuzz.sh --build-only` builds the
# targets and stops there (continuous integration: clang's warnings under
# -Werror are not the ones GCC gives).
set -euo pipefail
seconds=${1:-60}
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build/fuzz"
cd "$top"
CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELM_FUZZ=ON -DVELM_CHECKED=ON -DVELM_WERROR=ON -DVELM_TESTS=OFF -DVELM_GUI=OFF >/dev/null
targets=(free_reader input_phase)
cmake --build "$build" -j "${JOBS:-4}" --target "${targets[@]/#/velm_fuzz_}"
if [ "$seconds" = "--build-only" ]; then
    echo "fuzz targets built: ${targets[*]}"
    exit 0
fi

# Seeds: every sample file. The reader's seeds start with 8 bytes that choose
# the kinds of values asked for; the input phase's with the byte that picks
# the file of the tiny sample it replaces (its position in fuzz/tiny_sample.h).
files=(tiny.master nodes.dat links.dat signals.dat demand.dat incidents.dat)
for t in "${targets[@]}"; do
    rm -rf "$build/seeds/$t"
    mkdir -p "$build/seeds/$t" "$build/corpus/$t" "$build/artifacts/$t"
done
n=0
for f in samples/*/*.master samples/*/input/*; do
    [ -f "$f" ] || continue
    n=$((n + 1))
    { printf '\001\002\000\003\004\001\000\002'; cat "$f"; } > "$build/seeds/free_reader/s$n"
    base=$(basename "$f")
    case "$base" in *.master) base=tiny.master ;; esac
    for i in "${!files[@]}"; do
        if [ "${files[$i]}" = "$base" ]; then
            { printf "\\$(printf '%03o' "$i")"; cat "$f"; } > "$build/seeds/input_phase/s$n"
        fi
    done
done
cp -n fuzz/regressions/free_reader/* "$build/seeds/free_reader/" 2>/dev/null || true
cp -n fuzz/regressions/input_phase/* "$build/seeds/input_phase/" 2>/dev/null || true

status=0
for t in "${targets[@]}"; do
    echo "== fuzzing $t for $seconds s"
    "$build/fuzz/velm_fuzz_$t" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=4096 \
        -artifact_prefix="$build/artifacts/$t/" -print_final_stats=1 \
        "$build/corpus/$t" "$build/seeds/$t" || status=1
done
if [ $status -ne 0 ]; then
    echo "A fuzz target found a fault: see build/fuzz/artifacts/ and add the input to fuzz/regressions/" >&2
fi
exit $status

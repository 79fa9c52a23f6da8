#!/usr/bin/env bash
# Runs one sample network with the console program in a fresh output folder.
# Usage: run-sample.sh PROGRAM SAMPLE [program options such as --traces]
set -euo pipefail
prog=$(realpath "$1")
sample=$2
shift 2
top=$(cd "$(dirname "$0")/.." && pwd)
dir="$top/samples/$sample"
if [ ! -d "$dir" ]; then
    echo "No sample named '$sample' under samples/" >&2
    exit 2
fi
work="$top/out/$sample"
rm -rf "$work"
mkdir -p "$work"
# The sample's master file names its folders relative to its own folder, so the
# run takes place in a copy of it and never writes into samples/.
cp -r "$dir"/. "$work"/
cd "$work"
master=$(ls *.master 2>/dev/null | head -n 1)
status=0
"$prog" --master "$master" "$@" || status=$?
echo
echo "Sample '$sample' finished with status $status."
echo "Run log and reports are in: $work"
# Files with content, then the files that were created but stay empty
# (nothing logged, or their writers are not built yet).
empty=()
for f in * output/*; do
    [ -f "$f" ] || continue
    case "$f" in *.master) continue ;; esac
    if [ -s "$f" ]; then
        printf '  %-28s %10d bytes\n' "$f" "$(stat -c %s "$f")"
    else
        empty+=("$f")
    fi
done
if [ ${#empty[@]} -gt 0 ]; then
    echo "  Created but empty (nothing logged, or a report not built yet): ${empty[*]}"
fi
exit $status

#!/usr/bin/env bash
# Runs this sample and the plain corridor over the whole hour with the
# release program and writes the table of what they did into README.md.
# Usage (from the top folder, after `make release`): samples/NAME/compare.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
prog=${VELM_PROGRAM:-$top/build/release/velmorantis}
python3 "$top/scripts/sample-table.py" "$prog" corridor-plain corridor-meters corridor \
    --readme "$here/README.md"

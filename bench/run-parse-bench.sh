#!/usr/bin/env bash
# Parse-and-store benchmark: builds an optimised native tree, then prints the
# time ratio and the callgrind instruction ratio against jsoncpp's bare parse.
#   bench/run-parse-bench.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/bench-release}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target parse_bench >/dev/null
program=$build/bench/parse_bench

"$program"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
(cd "$scratch" && valgrind --tool=callgrind --callgrind-out-file="$scratch/cg.out" \
    "$program" --instructions >/dev/null 2>"$scratch/valgrind.log") || {
    cat "$scratch/valgrind.log" >&2
    exit 1
}
# Each dump names its part ("desc: Trigger: Client Request: bare") and ends
# with its instruction total ("summary:" or "totals:").
python3 - "$scratch" <<'PY'
import glob, re, sys
totals = {}
for path in glob.glob(sys.argv[1] + "/cg.out*"):
    text = open(path, errors="replace").read()
    part = re.search(r"Client Request: (\w+)", text)
    total = re.search(r"^(?:summary|totals): (\d+)", text, re.M)
    if part and total:
        totals[part.group(1)] = int(total.group(1))
if "bare" not in totals or "store" not in totals:
    sys.exit("callgrind dumps not found: %s" % totals)
print("instructions: bare %d, parse and store %d" % (totals["bare"], totals["store"]))
print("instruction ratio: %.3f (goal <= 1.3)" % (totals["store"] / totals["bare"]))
PY

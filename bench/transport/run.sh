#!/usr/bin/env bash
# Download and POST benchmark: the project's transport against the curl
# command-line tool, on the same 20 MB file of the local service, in one run.
#
#   bench/transport/run.sh BUILD_DIR [ROUNDS]
#
# BUILD_DIR is a native build (build/native) or a Windows build
# (build/win64, run under wine64). Prints each time and the throughput ratio
# ours/curl (1.0 = as fast as curl; the goal is at least 0.9).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:?build dir}
rounds=${2:-5}
port=${QUARN_BENCH_PORT:-8712}
base="http://127.0.0.1:$port/"
picture="pictures/big20mb.jpg"
work=$(mktemp -d)
trap 'bash "$root/tools/localservice/run.sh" stop --port "$port" >/dev/null 2>&1; rm -rf "$work"' EXIT
bash "$root/tools/localservice/run.sh" restart --port "$port" >/dev/null

best_curl() {
    local best=999 t
    for _ in $(seq "$1"); do
        rm -f "$work/curl.out"
        t=$(curl -s -o "$work/curl.out" -w '%{time_total}' "${@:2}")
        best=$(python3 -c "print(min($best, $t))")
    done
    echo "$best"
}
curl_get=$(best_curl "$rounds" "$base$picture")
curl_post=$(best_curl $((rounds * 4)) -X POST -d '' "${base}book.php?action=c_hot_tag")

program=$(find "$build" -name 'download_bench*' -type f -perm -u+x | head -1)
if [[ "$program" == *.exe ]]; then
    output=$(bash "$root/tools/wine-run.sh" "$program" "$base" "$picture" 'C:\quarn-bench' "$rounds" | tr -d '\r')
else
    output=$("$program" "$base" "$picture" "$work" "$rounds")
fi

python3 - "$curl_get" "$curl_post" <<PY
import sys
curl_get, curl_post = float(sys.argv[1]), float(sys.argv[2])
print(f"curl GET            {curl_get*1000:9.1f} ms")
print(f"curl POST           {curl_post*1000:9.2f} ms")
for line in """$output""".splitlines():
    name, seconds, size = line.split()
    seconds = float(seconds)
    if name == "PostFormWithTimeout":
        print(f"{name:<20}{seconds*1000:9.2f} ms   round trip curl/ours = {curl_post/seconds:.2f}")
    else:
        print(f"{name:<20}{seconds*1000:9.1f} ms   {int(size)/seconds/1e6:7.1f} MB/s   throughput ours/curl = {curl_get/seconds:.2f}")
PY

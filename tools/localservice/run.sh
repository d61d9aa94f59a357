#!/usr/bin/env bash
# Starts, stops or reports the local picture service in the background.
#
#   run.sh start   [--port N] [--data DIR] [--tls] [--rtt-ms MS] [server options, e.g. --fault html]
#   run.sh stop    [--port N]
#   run.sh status  [--port N]
#   run.sh restart [--port N] [...]
#
# start renders the sample pictures first if they are missing (a few minutes
# the first time), then waits until the port answers. The pid and log files
# live in $QUARN_SERVICE_RUN (default: /tmp), named after the port.
#
# --tls also starts the TLS front (nghttpx, HTTP/2 and HTTP/1.1 over TLS,
# plain HTTP to the service) on https://127.0.0.1:(N+1000)/ with a
# certificate of the test authority (make-test-certs.sh), and three fronts
# whose certificates are at fault: expired on N+2000, for another host name
# on N+3000, from an unknown authority on N+4000. --rtt-ms MS puts the
# round-trip relay (rtt_shim.py) on N+5000 in front of the TLS front (of the
# service without --tls); a request to http://127.0.0.1:(N+6000)/ closes every
# connection it relays. stop ends all of them.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
command="${1:-}"
[ $# -gt 0 ] && shift

port=8710
data="${QUARN_SERVICE_DATA:-/var/cache/quarn-service-data}"
extra=()
tls=0
rtt_ms=""
while [ $# -gt 0 ]; do
    case "$1" in
        --tls) tls=1; shift ;;
        --rtt-ms) rtt_ms="$2"; shift 2 ;;
        --rtt-ms=*) rtt_ms="${1#*=}"; shift ;;
        --port) port="$2"; shift 2 ;;
        --port=*) port="${1#*=}"; shift ;;
        --data) data="$2"; shift 2 ;;
        --data=*) data="${1#*=}"; shift ;;
        *) extra+=("$1"); shift ;;
    esac
done

rundir="${QUARN_SERVICE_RUN:-/tmp}"
pidfile="$rundir/quarn-service-$port.pid"
logfile="$rundir/quarn-service-$port.log"

pid_alive() {
    [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null
}

answering() {
    python3 - "$port" <<'PY'
import sys, urllib.request
try:
    urllib.request.urlopen("http://127.0.0.1:%s/__control/status" % sys.argv[1], timeout=1).read()
except Exception:
    sys.exit(1)
PY
}

start() {
    if pid_alive; then
        echo "already running on port $port (pid $(cat "$pidfile"))"
        return 0
    fi
    if answering; then
        echo "port $port already answers, but not from a service started here" >&2
        return 1
    fi
    python3 "$here/makedata.py" --data "$data" | grep -v '^data ready' || true
    mkdir -p "$rundir"
    setsid nohup python3 "$here/server.py" --port "$port" --data "$data" "${extra[@]}" \
        >"$logfile" 2>&1 </dev/null &
    echo $! >"$pidfile"
    for _ in $(seq 1 150); do
        if answering; then
            echo "running on http://127.0.0.1:$port/ (pid $(cat "$pidfile"), log $logfile)"
            return 0
        fi
        if ! pid_alive; then
            break
        fi
        sleep 0.1
    done
    echo "the service did not come up; its log:" >&2
    cat "$logfile" >&2
    stop >/dev/null || true
    return 1
}

# The helpers beside the service: pid files named after the service's port.
helper_pidfile() { echo "$rundir/quarn-$1-$port.pid"; }

port_answers() {
    python3 -c 'import socket,sys; socket.create_connection(("127.0.0.1", int(sys.argv[1])), 1).close()' "$1" \
        2>/dev/null
}

# start_front NAME CERTIFICATE PORT
start_front() {
    local certs=$1 name=$2 front_port=$3
    command -v nghttpx > /dev/null || { echo "nghttpx is missing (Debian: nghttp2-proxy)" >&2; return 1; }
    local log="$rundir/quarn-$name-$port.log"
    setsid nohup nghttpx --frontend="127.0.0.1,$front_port" --backend="127.0.0.1,$port;;proto=http/1.1" \
        --conf=/dev/null --workers=1 --no-ocsp --add-forwarded=for --forwarded-for=obfuscated \
        --accesslog-file="$log" --errorlog-file="$log" \
        "$certs/$name.key" "$certs/$name.pem" >/dev/null 2>&1 </dev/null &
    echo $! >"$(helper_pidfile "$name")"
    for _ in $(seq 1 50); do
        port_answers "$front_port" && return 0
        sleep 0.1
    done
    echo "the $name front did not come up; its log:" >&2
    cat "$log" >&2
    return 1
}

start_helpers() {
    local upstream=$port
    if [ "$tls" = 1 ]; then
        local certs
        certs=$(bash "$here/make-test-certs.sh") || return 1
        start_front "$certs" server $((port + 1000)) || return 1
        start_front "$certs" expired $((port + 2000)) || return 1
        start_front "$certs" wronghost $((port + 3000)) || return 1
        start_front "$certs" unknown $((port + 4000)) || return 1
        upstream=$((port + 1000))
        echo "TLS front on https://127.0.0.1:$((port + 1000))/ (authority $certs/ca.pem)"
    fi
    if [ -n "$rtt_ms" ]; then
        setsid nohup python3 "$here/rtt_shim.py" --listen $((port + 5000)) --to "127.0.0.1:$upstream" \
            --rtt-ms "$rtt_ms" --control $((port + 6000)) >"$rundir/quarn-shim-$port.log" 2>&1 </dev/null &
        echo $! >"$(helper_pidfile shim)"
        for _ in $(seq 1 50); do
            port_answers $((port + 5000)) && break
            sleep 0.1
        done
        echo "round-trip relay ($rtt_ms ms) on 127.0.0.1:$((port + 5000)) to port $upstream"
    fi
}

# All at once: each front takes a moment to end.
stop_helpers() {
    local name file pids=()
    for name in shim server expired wronghost unknown; do
        file=$(helper_pidfile "$name")
        [ -f "$file" ] || continue
        pids+=("$(cat "$file")")
        rm -f "$file"
    done
    [ ${#pids[@]} -gt 0 ] || return 0
    kill -TERM "${pids[@]}" 2>/dev/null || true
    local pid alive
    for _ in $(seq 1 30); do
        alive=0
        for pid in "${pids[@]}"; do
            kill -0 "$pid" 2>/dev/null && alive=1
        done
        [ "$alive" = 1 ] || return 0
        sleep 0.1
    done
    kill -KILL "${pids[@]}" 2>/dev/null || true
}

stop() {
    stop_helpers
    if ! pid_alive; then
        rm -f "$pidfile"
        echo "not running on port $port"
        return 0
    fi
    local pid
    pid="$(cat "$pidfile")"
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid" 2>/dev/null || true
    fi
    rm -f "$pidfile"
    echo "stopped (pid $pid)"
}

status() {
    if pid_alive && answering; then
        echo "running on http://127.0.0.1:$port/ (pid $(cat "$pidfile"))"
        return 0
    fi
    echo "not running on port $port"
    return 1
}

start_all() {
    start || return 1
    start_helpers || { stop >/dev/null; return 1; }
}

case "$command" in
    start) start_all ;;
    stop) stop ;;
    status) status ;;
    restart) stop >/dev/null; start_all ;;
    *) echo "usage: $0 start|stop|status|restart [--port N] [--data DIR] [server options]" >&2; exit 2 ;;
esac

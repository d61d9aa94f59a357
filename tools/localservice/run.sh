#!/usr/bin/env bash
# Starts, stops or reports the local picture service in the background.
#
#   run.sh start   [--port N] [--data DIR] [server options, e.g. --fault html]
#   run.sh stop    [--port N]
#   run.sh status  [--port N]
#   run.sh restart [--port N] [...]
#
# start renders the sample pictures first if they are missing (a few minutes
# the first time), then waits until the port answers. The pid and log files
# live in $QUARN_SERVICE_RUN (default: /tmp), named after the port.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
command="${1:-}"
[ $# -gt 0 ] && shift

port=8710
data="${QUARN_SERVICE_DATA:-/var/cache/quarn-service-data}"
extra=()
while [ $# -gt 0 ]; do
    case "$1" in
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

stop() {
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

case "$command" in
    start) start ;;
    stop) stop ;;
    status) status ;;
    restart) stop >/dev/null; start ;;
    *) echo "usage: $0 start|stop|status|restart [--port N] [--data DIR] [server options]" >&2; exit 2 ;;
esac

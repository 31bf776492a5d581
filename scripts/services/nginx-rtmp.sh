#!/bin/sh
# Starts or stops a loopback RTMP server for tests.
#   nginx-rtmp.sh start <workdir> <port>
#   nginx-rtmp.sh stop <workdir>
set -eu

usage() {
    echo "usage: $0 start <workdir> <port> | stop <workdir>" >&2
    exit 2
}

[ $# -ge 2 ] || usage
action=$1
workdir=$2
here=$(cd "$(dirname "$0")" && pwd)

case "$action" in
start)
    [ $# -ge 3 ] || usage
    port=$3
    case "$port" in
        ''|*[!0-9]*) echo "port must be a number" >&2; exit 2 ;;
    esac
    module=
    for candidate in /usr/lib/nginx/modules/ngx_rtmp_module.so /usr/share/nginx/modules/ngx_rtmp_module.so; do
        if [ -f "$candidate" ]; then module=$candidate; break; fi
    done
    if [ -z "$module" ]; then
        echo "the nginx rtmp module is not installed (libnginx-mod-rtmp)" >&2
        exit 1
    fi
    mkdir -p "$workdir"
    workdir=$(cd "$workdir" && pwd)
    sed -e "s|@MODULE@|$module|g" -e "s|@WORKDIR@|$workdir|g" -e "s|@PORT@|$port|g" \
        "$here/nginx-rtmp.conf.in" > "$workdir/nginx.conf"
    rm -f "$workdir/nginx.pid"
    # -e keeps even the start-up log out of the system folders.
    nginx -p "$workdir" -e "$workdir/error.log" -c "$workdir/nginx.conf"
    # The master writes its pid once it is listening.
    tries=0
    while [ ! -s "$workdir/nginx.pid" ]; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ]; then
            echo "nginx did not start; see $workdir/error.log" >&2
            exit 1
        fi
        sleep 0.1
    done
    ;;
stop)
    if [ -s "$workdir/nginx.pid" ]; then
        pid=$(cat "$workdir/nginx.pid")
        kill -TERM "$pid" 2>/dev/null || true
        tries=0
        while kill -0 "$pid" 2>/dev/null; do
            tries=$((tries + 1))
            if [ $tries -gt 50 ]; then
                kill -KILL "$pid" 2>/dev/null || true
                break
            fi
            sleep 0.1
        done
        rm -f "$workdir/nginx.pid"
    fi
    ;;
*)
    usage
    ;;
esac

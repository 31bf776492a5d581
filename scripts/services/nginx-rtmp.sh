#!/bin/sh
# Starts or stops a loopback RTMP server for tests.
#   nginx-rtmp.sh start <workdir> <port> [<http-port>]
#     With an HTTP port, the server also serves what it receives as HLS there.
#   nginx-rtmp.sh stop <workdir>
set -eu

usage() {
    echo "usage: $0 start <workdir> <port> [<http-port>] | stop <workdir>" >&2
    exit 2
}

# True when the process is the nginx master started for $workdir.
is_our_master() {
    [ -r "/proc/$1/cmdline" ] || return 1
    case "$(tr '\0' ' ' < "/proc/$1/cmdline")" in
        "nginx: master process "*" -p $workdir "*) return 0 ;;
        *) return 1 ;;
    esac
}

[ $# -ge 2 ] || usage
action=$1
workdir=$2
here=$(cd "$(dirname "$0")" && pwd)

case "$action" in
start)
    [ $# -ge 3 ] || usage
    port=$3
    httpport=${4:-}
    for p in "$port" ${httpport:+"$httpport"}; do
        case "$p" in
            ''|*[!0-9]*) echo "port must be a number" >&2; exit 2 ;;
        esac
    done
    template=nginx-rtmp.conf.in
    [ -n "$httpport" ] && template=nginx-rtmp-hls.conf.in
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
    mkdir -p "$workdir/hls"
    sed -e "s|@MODULE@|$module|g" -e "s|@WORKDIR@|$workdir|g" -e "s|@PORT@|$port|g" \
        -e "s|@HTTPPORT@|$httpport|g" "$here/$template" > "$workdir/nginx.conf"
    rm -f "$workdir/nginx.pid"
    # -e keeps even the start-up log out of the system folders.
    nginx -p "$workdir" -e "$workdir/error.log" -c "$workdir/nginx.conf"
    # The master writes its pid once it is listening; a loaded machine may
    # take a while.
    tries=0
    while [ ! -s "$workdir/nginx.pid" ]; do
        tries=$((tries + 1))
        if [ $tries -gt 300 ]; then
            echo "nginx did not start; see $workdir/error.log" >&2
            exit 1
        fi
        sleep 0.1
    done
    ;;
stop)
    [ -d "$workdir" ] && workdir=$(cd "$workdir" && pwd)
    if [ -s "$workdir/nginx.pid" ]; then
        pid=$(cat "$workdir/nginx.pid")
        # A master that was killed leaves its pid file behind, and the number
        # may belong to another process by now: signal only our own server.
        if ! is_our_master "$pid"; then
            rm -f "$workdir/nginx.pid"
            exit 0
        fi
        kill -TERM "$pid" 2>/dev/null || true
        tries=0
        while is_our_master "$pid"; do
            tries=$((tries + 1))
            if [ $tries -gt 50 ]; then
                is_our_master "$pid" && kill -KILL "$pid" 2>/dev/null || true
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

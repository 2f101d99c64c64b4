#!/usr/bin/env bash
# Runs a Wine program under a file-size limit (KiB), with SIGXFSZ ignored so that a write past
# it fails instead of killing the program:  wine_file_limit.sh KIB WINE PROGRAM ARGS...
# The wine server must not inherit the limit (it could no longer save the registry), so one is
# kept running first by an unlimited cmd that waits on our pipe; it ends when the pipe closes.
set -u
kib=$1 wine=$2
shift 2
pipes=$(mktemp -d)
trap 'rm -rf "$pipes"' EXIT
mkfifo "$pipes/in" "$pipes/out"
WINEDEBUG=-all "$wine" cmd <"$pipes/in" >"$pipes/out" 2>/dev/null &
keeper=$!
exec 3>"$pipes/in" 4<"$pipes/out"
IFS= read -r banner <&4 || { echo "wine cmd did not start" >&2; exit 2; }
(trap '' XFSZ; ulimit -f "$kib" && exec env WINEDEBUG=-all "$wine" "$@")
rc=$?
exec 3>&-
wait "$keeper"
exit $rc

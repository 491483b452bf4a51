#!/bin/sh
# One end-to-end scenario: run.sh SCENARIO DRIVER PELVARN FAKEJOB WORKDIR SHOT [EMULATOR]
# WORKDIR is rebuilt by the driver; the basic scenario leaves SHOT.bmp, converted to SHOT.png.
# Under Wine the paths are handed over in their Windows form (Z: + the Unix path).
set -u
scenario=$1 driver=$2 exe=$3 fakejob=$4 work=$5 shot=$6 emulator=${7:-}
if [ -n "$emulator" ] && [ -z "${DISPLAY:-}" ]; then
    echo "no X display: run the end-to-end tests under xvfb-run"
    exit 77
fi
win() {
    if [ -n "$emulator" ]; then printf 'Z:%s' "$1" | tr / '\\'; else printf '%s' "$1"; fi
}
rm -f "$shot.bmp"
# shellcheck disable=SC2086 # the emulator may be empty
$emulator "$driver" "$scenario" "$(win "$exe")" "$(win "$fakejob")" "$(win "$work")" \
    "$(win "$shot.bmp")"
status=$?
if [ -f "$shot.bmp" ]; then
    if convert "$shot.bmp" "$shot.png"; then echo "screenshot: $shot.png"; else status=1; fi
fi
exit "$status"

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
if [ "$scenario" = driveroot ]; then
    # A free drive letter of the Wine prefix pointed at a scratch folder for this run (V-Y;
    # the CLI test, which may run at the same time, takes R-U).
    devices=${WINEPREFIX:-$HOME/.wine}/dosdevices
    letter=
    for l in v w x y; do [ -e "$devices/$l:" ] || { letter=$l; break; }; done
    if [ -z "$emulator" ] || [ -z "$letter" ] || [ ! -d "$devices" ]; then
        echo "no Wine prefix with a free drive letter: drive-root scenario skipped"
        exit 77
    fi
    rm -rf "$work-root" && mkdir -p "$work-root" && ln -s "$work-root" "$devices/$letter:"
    trap 'rm -f "$devices/$letter:"' EXIT
    PELVARN_E2E_DRIVE=$(echo "$letter" | tr a-z A-Z):
    export PELVARN_E2E_DRIVE
fi
if [ "$scenario" = help ]; then
    # The recording hhctrl.ocx beside the program is taken instead of Wine's own.
    WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-};hhctrl.ocx=n"
    export WINEDLLOVERRIDES
fi
rm -f "$shot.bmp" "$shot-diag.bmp"
# shellcheck disable=SC2086 # the emulator may be empty
$emulator "$driver" "$scenario" "$(win "$exe")" "$(win "$fakejob")" "$(win "$work")" \
    "$(win "$shot.bmp")"
status=$?
for bmp in "$shot.bmp" "$shot-diag.bmp"; do
    [ -f "$bmp" ] || continue
    png=${bmp%.bmp}.png
    if convert "$bmp" "$png"; then echo "screenshot: $png"; else status=1; fi
done
exit "$status"

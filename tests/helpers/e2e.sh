# Sourced by the end-to-end shell tests once CLI (and KESTO and EMU, where the test has them)
# are set: makes both programs' names absolute, moves into a scratch folder that goes when the
# test ends, and gives the pass and fail counters and the steps that count.
case $CLI in /*) ;; *) CLI=$PWD/$CLI ;; esac
case ${KESTO:-/} in /*) ;; *) KESTO=$PWD/$KESTO ;; esac
# The scratch folder's name starts with E2E_NAME when the test sets it.
WORK=$(mktemp -d "${TMPDIR:-/tmp}/${E2E_NAME:-tmp}.XXXXXXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1
failures=0
passes=0
ok() { passes=$((passes+1)); }
fail() { echo "FAIL: $*"; failures=$((failures+1)); }
# The programs under test, through the emulator when there is one.
cli() { if [ -n "${EMU:-}" ]; then "$EMU" "$CLI" "$@"; else "$CLI" "$@"; fi; }
kesto() { if [ -n "${EMU:-}" ]; then "$EMU" "$KESTO" "$@"; else "$KESTO" "$@"; fi; }
expect_status() { # expect_status WANT GOT WHAT
    if [ "$2" = "$1" ]; then ok; else fail "$3: exit status $2, expected $1"; [ -f err.txt ] && cat err.txt; fi
}
# The last step of a test: the counts, and its exit status (0 only when nothing failed).
summary() {
    echo "$passes passed, $failures failed"
    [ "$failures" -eq 0 ]
}

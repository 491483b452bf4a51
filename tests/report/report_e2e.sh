#!/bin/sh
# End-to-end test of the search report.
# Usage: report_e2e.sh CLI KESTO DEMO_FOLDER PNG_ARTEFACT
set -u
CLI=$1
KESTO=$2
DEMO=$3
PNG=$4
case $PNG in /*) ;; *) PNG=$PWD/$PNG ;; esac
. "$(dirname "$0")/../helpers/e2e.sh"
wellformed() { python3 -c 'import sys, xml.etree.ElementTree as E; E.parse(sys.argv[1])' "$1"; }

# The demo model's search leaves its report beside its journal.
cp -r "$DEMO" demo
KESTO="$KESTO" cli search demo --seed 1 --max-jobs 60 --parallel 2 --verify 1 --quiet >out.txt 2>err.txt
expect_status 0 $? "search of the demo model"
REPORT=demo/search-report.html
[ -f $REPORT ] && ok || fail "the search left no report"
wellformed $REPORT && ok || fail "the report is not well-formed"
grep -qiE '<script|<link|<img|src=|url\(' $REPORT && fail "the report is not self-contained" || ok
grep -q 'Search of demo' $REPORT && ! grep -q "$WORK/demo</text>" $REPORT && ok || fail "plot title"

# pelvarn-cli report, and its exit statuses.
cli report demo --out again.html >out.txt 2>err.txt
expect_status 0 $? "report"
wellformed again.html && ok || fail "report --out"
cli report >/dev/null 2>err.txt
expect_status 64 $? "no FOLDER"
cli report demo --bogus >/dev/null 2>err.txt
expect_status 64 $? "unknown option"
cli report demo --out "$WORK/no/such/r.html" >/dev/null 2>err.txt
expect_status 3 $? "unwritable page"
cp -r "$DEMO" other
cli report other --journal demo/search.jsonl >/dev/null 2>err.txt
expect_status 1 $? "a journal of another folder"
grep -q 'belongs to the job folder' err.txt && ok || fail "another folder: $(cat err.txt)"
cli report other >/dev/null 2>err.txt
expect_status 1 $? "no journal"
cp demo/search.jsonl torn.jsonl && printf '{"job":99,"wor' >>torn.jsonl
cli report demo --journal torn.jsonl --out torn.html >/dev/null 2>err.txt
expect_status 0 $? "a torn last line"
grep -q 'warning: the last line of the journal is incomplete' err.txt && ok || fail "torn: $(cat err.txt)"
cli report --help | grep -q '^Usage: pelvarn-cli report FOLDER' && ok || fail "--help"

# A real browser renders the page, plot included.
browser() {
    timeout 90 chromium --headless --no-sandbox --disable-gpu --hide-scrollbars \
        --user-data-dir="$WORK/chromium" --no-first-run "$@" 2>/dev/null
}
if ! command -v chromium >/dev/null; then
    fail "chromium is not installed (scripts/install-deps installs it)"
else
    rm -f "$PNG"
    browser --window-size=1000,6000 --screenshot="$PNG" "file://$WORK/$REPORT" >/dev/null
    [ -s "$PNG" ] && ok || fail "the browser wrote no picture"
    browser --dump-dom "file://$WORK/$REPORT" >dom.html
    grep -q '<svg' dom.html && grep -q '<polyline' dom.html && ok || fail "no plot in the page's DOM"
    # Not blank: many colours, and the plot's job dots (#4a7bd0) among them.
    colours=$(convert "$PNG" -format '%k' info: 2>/dev/null || echo 0)
    [ "$colours" -gt 50 ] && ok || fail "the rendered page is blank ($colours colours)"
    dots=$(convert "$PNG" -fill black +opaque '#4a7bd0' -fill white -opaque '#4a7bd0' \
        -format '%[fx:int(mean*w*h)]' info: 2>/dev/null || echo 0)
    [ "$dots" -gt 20 ] && ok || fail "no plotted job in the rendered page ($dots pixels)"
    echo "rendered report: $PNG"
fi

summary

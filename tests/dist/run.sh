#!/bin/sh
# Usage: run.sh ZIP SCRATCH OBJDUMP [EMULATOR]
set -u
ZIP=$1
SCRATCH=$2
OBJDUMP=$3
EMU=${4:-}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures+1)); }
rm -rf "$SCRATCH" && mkdir -p "$SCRATCH" || exit 1
unzip -q "$ZIP" -d "$SCRATCH" || { echo "FAIL: cannot unzip $ZIP"; exit 1; }
NAME=$(basename "$ZIP" .zip)
cd "$SCRATCH/$NAME" || { echo "FAIL: the zip holds no folder $NAME"; exit 1; }
echo "$NAME.zip holds:"
find . -type f | sort | sed 's/^\.\//  /'

for f in pelvarn.exe pelvarn-cli.exe pelvarn.chm readme.txt suite/kesto.exe html/index.htm \
         model/initial.sti model/pelvrn.bat model/trade.ksx; do
    [ -s "$f" ] || fail "$f missing"
done
[ "$(find html -name '*.htm' | wc -l)" -gt 10 ] || fail "html/ holds too few pages"
[ "$(find model -newer readme.txt -name 'Job*' | wc -l)" = 0 ] || fail "model/ holds job files"
lines=$(wc -l <readme.txt)
crlf=$(grep -c "$(printf '\r')\$" readme.txt)
[ "$lines" -gt 5 ] && [ "$crlf" = "$lines" ] || fail "readme.txt: $crlf of $lines lines end with CR LF"
if [ -n "$OBJDUMP" ]; then
    for f in pelvarn.exe pelvarn-cli.exe suite/kesto.exe; do
        "$OBJDUMP" -h "$f" | grep -q '\.debug' && fail "$f carries debug sections"
    done
fi

if [ -n "$EMU" ]; then
    out=$("$EMU" ./pelvarn-cli.exe check 'model\initial.sti' 2>check.err)
    rc=$?
    [ "$rc" = 0 ] || fail "check: exit $rc: $out $(cat check.err)"
    echo "$out" | head -1 | grep -q '^[0-9]* records$' || fail "check output: $(echo "$out" | head -1)"
    echo "check of the demo's initial.sti: $(echo "$out" | head -1)"
    out=$("$EMU" ./pelvarn-cli.exe run model --include alter --order pair --seed 3 --max-jobs 3 2>run.err)
    rc=$?
    [ "$rc" = 0 ] || fail "run: exit $rc: $out $(cat run.err)"
    jobs=$(echo "$out" | grep -c '^Job[0-9]* [0-9.]* secs ')
    [ "$jobs" = 3 ] || fail "run: $jobs job lines, expected 3: $out"
    echo "$out" | grep -q '^Best job is Job' || fail "run: no best line"
    [ -f model/Job2 ] && [ -f model/Job2.cnd ] || fail "run: model/Job2 not written"
    echo "three-job run from the unzipped folder:"
    echo "$out" | sed 's/^/  /'
fi
[ "$failures" = 0 ] && echo "dist zip: all checks passed"
[ "$failures" = 0 ]

#!/bin/sh
# Drives "pelvarn-cli move-condensations" on real files: the exact bytes of new.KSX and of
# what is printed, the exit statuses, and the demo model run through the stand-in suite
# before and after. Usage: move_condensations.sh CLI [EMULATOR [KESTO [DEMO_FOLDER]]]
# Files are named relative to the scratch folder, so the texts are the same natively and
# under Wine.
set -u
CLI=$1
EMU=${2:-}
KESTO=${3:-}
DEMO=${4:-}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1
failures=0
passes=0

emu() { if [ -n "$EMU" ]; then "$EMU" "$@"; else "$@"; fi; }

run() { # run EXPECTED_STATUS ARGS... (stdout in out.txt, stderr in err.txt)
    want=$1; shift
    emu "$CLI" move-condensations "$@" >out.txt 2>err.txt
    got=$?
    if [ "$got" != "$want" ]; then
        echo "FAIL: pelvarn-cli move-condensations $* exited $got, expected $want"; cat err.txt
        failures=$((failures+1)); return 1
    fi
    return 0
}

same() { # same NAME FILE EXPECTED_PRINTF_FORMAT
    printf "$3" >expected.txt
    if cmp -s "$2" expected.txt; then passes=$((passes+1)); else
        echo "FAIL: $1"; echo "--- got:"; od -c "$2" | head -30; echo "--- expected:"; od -c expected.txt | head -30
        failures=$((failures+1))
    fi
}

done_text() { # the closing text for lower-cased input name $1, output new.KSX
    printf 'Input KSX name was: %s\r\nOutput KSX name is: \r\nnew.KSX\r\nin which SUBSTITUTE and BACKSOLVE statements are moved\r\nto a single section at the end.\r\nPlease use LUMEDIT to check this file and save it with a new name.\r\nClick Help to find out more.\n' "$1"
}

# A small model: cleaning, a trailing comment, a bracketed comment, a commented statement,
# a last line without its line end.
printf 'Model TINY;\r\n  substitute\tx using E_x ; ! note !\r\n![[!\r\nBackSolve y using E_y;\r\n!]]!\r\n!  backsolve  z using E_z;!\nlast line' >Tiny.KSX
if run 0 Tiny.KSX; then
    same "new.KSX of a small model" new.KSX \
      'Model TINY;\r\n! commented out by Pelvarn:substitute x using E_x ; !\r\n![[!\r\nBackSolve y using E_y;\r\n!]]!\r\n! commented out by Pelvarn: backsolve z using E_z;!\r\nlast line\r\n!pelvarnbegin!\r\nsubstitute x using E_x ; \r\n! backsolve z using E_z;!\r\n!pelvarnend!\r\n'
    done_text tiny.ksx >done.txt
    if cmp -s out.txt done.txt; then passes=$((passes+1)); else
        echo "FAIL: closing text"; od -c out.txt | head -20; failures=$((failures+1)); fi
fi

# Without statements: the input and the two markers.
printf 'a\r\n\r\nb\r\n' >plain.ksx
run 0 plain.ksx && same "no statements" new.KSX 'a\r\n\r\nb\r\n!pelvarnbegin!\r\n!pelvarnend!\r\n'

# The output's own name is refused in any letter case, and the file is left alone.
printf 'kept\r\n' >new.KSX
for name in new.ksx NEW.KSX New.Ksx; do
    run 1 "$name" && same "refusal of $name" err.txt \
      'You must not select "new.ksx" -- that filename will be used for the output file!\n'
done
same "refused input left alone" new.KSX 'kept\r\n'
# Only the exact name is refused: this one gets as far as reading.
run 2 renew.ksx && { grep -q 'renew.ksx' err.txt && ! grep -q 'must not' err.txt && passes=$((passes+1)); }

run 2 missing.ksx && { [ -s err.txt ] && [ ! -s out.txt ] && passes=$((passes+1)); }
run 64 && passes=$((passes+1))
run 64 a.ksx b.ksx && passes=$((passes+1))
run 64 -x && passes=$((passes+1))
run 0 --help && grep -q 'Usage: pelvarn-cli move-condensations FILE' out.txt && passes=$((passes+1))

# The demo model: every statement is moved, the rest is unchanged, and the stand-in suite
# translates and solves the rewritten model exactly as the original.
if [ -n "$DEMO" ] && [ -f "$DEMO/trade.ksx" ]; then
    mkdir demo && cp "$DEMO/trade.ksx" "$DEMO/initial.sti" demo/ && cd demo || exit 1
    if run 0 trade.ksx; then
        tr -d '\r' <trade.ksx >in.txt
        tr -d '\r' <new.KSX >outlf.txt
        # The statements as listed at the end: trailing comments cut, commented ones kept so.
        sed -n -E 's/^(Substitute|Backsolve) ([^!]*).*/\1 \2/p; s/^!((Substitute|Backsolve) [^!]*)!.*/!\1!/p' in.txt >stmts.txt
        n=$(wc -l <stmts.txt)
        sed -n '/^!pelvarnbegin!$/,/^!pelvarnend!$/p' outlf.txt | sed '1d;$d' >listed.txt
        if [ "$n" -gt 30 ] && cmp -s stmts.txt listed.txt; then passes=$((passes+1)); else
            echo "FAIL: demo model: listed statements differ ($n expected)"; diff stmts.txt listed.txt | head; failures=$((failures+1)); fi
        grep -v -E '^!?(Substitute|Backsolve) ' in.txt >kept.txt
        sed '/^!pelvarnbegin!$/,$d' outlf.txt | grep -v '^! commented out by Pelvarn:' >body.txt
        inplace=$(grep -c '^! commented out by Pelvarn:' outlf.txt)
        if cmp -s kept.txt body.txt && [ "$inplace" -eq "$n" ]; then passes=$((passes+1)); else
            echo "FAIL: demo model: lines outside the statements changed"; diff kept.txt body.txt | head; failures=$((failures+1)); fi
        if [ -n "$KESTO" ]; then
            sed '2s/^trade\.ksx /new.KSX   /' initial.sti >new.sti
            emu "$KESTO" -sti initial.sti -los before.log >/dev/null 2>&1; s1=$?
            emu "$KESTO" -sti new.sti -los after.log >/dev/null 2>&1; s2=$?
            grep -v -E 'Stored input from|Reading model file' before.log >before.txt
            grep -v -E 'Stored input from|Reading model file' after.log >after.txt
            if [ "$s1" = 0 ] && [ "$s2" = 0 ] && grep -q 'Total CPU is' after.txt && cmp -s before.txt after.txt; then
                passes=$((passes+1)); else
                echo "FAIL: demo model: the stand-in suite runs differ ($s1, $s2)"; diff before.txt after.txt | head; failures=$((failures+1)); fi
        fi
    fi
    cd ..
fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]

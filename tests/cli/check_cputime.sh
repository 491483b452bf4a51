#!/bin/sh
# Drives "pelvarn-cli check" and "pelvarn-cli cputime" on real files and compares the exact
# bytes printed and the exit statuses. Usage: check_cputime.sh CLI [EMULATOR]
# Files are named relative to the scratch folder, so the texts are the same natively and
# under Wine.
set -u
CLI=$1
EMU=${2:-}
. "$(dirname "$0")/../helpers/e2e.sh"

run() { # run EXPECTED_STATUS OUTFILE ERRFILE ARGS...
    want=$1; out=$2; err=$3; shift 3
    if [ -n "$EMU" ]; then "$EMU" "$CLI" "$@" >"$out" 2>"$err"; else "$CLI" "$@" >"$out" 2>"$err"; fi
    got=$?
    if [ "$got" != "$want" ]; then
        echo "FAIL: pelvarn-cli $* exited $got, expected $want"; cat "$err"; failures=$((failures+1)); return 1
    fi
    return 0
}

same() { # same NAME FILE EXPECTED_PRINTF_FORMAT
    printf "$3" >expected.txt
    if cmp -s "$2" expected.txt; then passes=$((passes+1)); else
        echo "FAIL: $1"; echo "--- got:"; od -c "$2" | head -20; echo "--- expected:"; od -c expected.txt | head -20
        failures=$((failures+1))
    fi
}

printf 'model.ksx\r\n!pelvarnbegin\r\ns\r\np_x ! first\r\nE_x\r\n!b\r\n!q_y\r\n!E_y\r\nB\r\nz ! mustsub\r\nE_z\r\n!pelvarnend\r\n' >good.sti
run 0 out.txt err.txt check good.sti && same "check lists records" out.txt \
  '3 records\n1\tsub\tp_x\tE_x\t-\n2\tnotsub\tq_y\tE_y\tMustSee\n3\tbacksub\tz\tE_z\tMustSee,MustSub\n'

printf '!pelvarnbegin\r\ns\r\nv\r\n' >open.sti
run 1 out.txt err.txt check open.sti && same "check refusal text" err.txt \
  'Error:\nCould not find "!pelvarnend" line in STI file:\r\nopen.sti\n'

printf '!pelvarnbegin\r\ns\r\nA\r\ne\r\ns\r\na\r\nf\r\n!pelvarnend\r\n' >dup.sti
run 1 out.txt err.txt check dup.sti && same "check duplicate" err.txt \
  'Error:\nVariable A appears twice in STI file\n'

run 2 out.txt err.txt check missing.sti && passes=$((passes+1))
run 64 out.txt err.txt check && passes=$((passes+1))
run 64 out.txt err.txt check a b && passes=$((passes+1))
run 0 out.txt err.txt check --help && grep -q 'Usage: pelvarn-cli check FILE' out.txt && passes=$((passes+1))

printf 'junk\r\n  Total CPU is 1.2345E1 seconds\r\n' >run.log
run 0 out.txt err.txt cputime run.log && same "cputime value" out.txt '12.3\n'
printf 'Total CPU is 3,5 seconds\r\n' >bad.log
run 1 out.txt err.txt cputime bad.log && same "cputime refusal" err.txt \
  'Cannot read time from "Total CPU is" line in file bad.log\r\nstring was :3,5\n'
# Logs that cannot be read: the system's reason, no internal tags, never a wait.
mkdir -p afolder
printf 'Total CPU is -5 seconds\r\n' >neg.log
for what in none.log afolder neg.log; do
    run 1 out.txt err.txt cputime $what || continue
    case $what in
        none.log) want='^Cannot open file none.log: .' ;;
        afolder) want='^Cannot open file afolder: .' ;;
        neg.log) want='^Time below zero in "Total CPU is" line in file neg.log' ;;
    esac
    if grep -q "$want" err.txt && ! grep -q '\[Txt' err.txt; then passes=$((passes+1)); else
        echo "FAIL: cputime $what: $(cat err.txt)"; failures=$((failures+1)); fi
done
if [ -z "$EMU" ] && command -v mkfifo >/dev/null 2>&1; then
    mkfifo pipe.log
    run 1 out.txt err.txt cputime pipe.log && grep -q '^Cannot open file pipe.log: Not a regular file' err.txt &&
        passes=$((passes+1)) || { echo "FAIL: cputime on a named pipe: $(cat err.txt)"; failures=$((failures+1)); }
fi
run 2 out.txt err.txt check afolder && grep -q '^Cannot open file afolder: .' err.txt && passes=$((passes+1))
# Every exit status a command gives is named in its help.
for cmd in check cputime run move-condensations sig; do
    run 0 out.txt err.txt $cmd --help || continue
    tr '\n' ' ' <out.txt >flat.txt
    for status in 64 70; do
        grep -q "[ ;]$status [a-z]" flat.txt && passes=$((passes+1)) ||
            { echo "FAIL: $cmd --help does not name exit status $status"; failures=$((failures+1)); }
    done
done
run 64 out.txt err.txt cputime && passes=$((passes+1))
run 64 out.txt err.txt frobnicate && passes=$((passes+1))

# The folder table: an unset KVKEEP ends its line right after the tab; one line per kind.
(unset KVKEEP; run 0 out.txt err.txt folders) && grep -q "$(printf '^KVKEEP Folder   \tUNDEFINED\r$')" out.txt &&
  passes=$((passes+1)) || { echo "FAIL: folders KVKEEP line"; cat out.txt; failures=$((failures+1)); }
lines=$(grep -c "$(printf '\r$')" out.txt)
if [ -n "$EMU" ]; then want=15; else want=8; fi
[ "$lines" = "$want" ] && passes=$((passes+1)) || { echo "FAIL: folders gave $lines lines"; failures=$((failures+1)); }
run 64 out.txt err.txt folders extra && passes=$((passes+1))
run 0 out.txt err.txt folders --help && grep -q 'Usage: pelvarn-cli folders' out.txt && passes=$((passes+1))

summary

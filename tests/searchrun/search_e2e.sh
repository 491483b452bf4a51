#!/bin/sh
# End-to-end tests of "pelvarn-cli search".
# Usage: search_e2e.sh CLI KESTO DEMO_FOLDER PLOT_ARTEFACT [EMULATOR]
set -u
CLI=$1
KESTO=$2
DEMO=$3
PLOT=$4
EMU=${5:-}
. "$(dirname "$0")/../helpers/e2e.sh"
# The CSV columns that do not depend on timing: job, status, seconds, best, change.
stable() { cut -d, -f1,3,4,6,7 "$1" | tr -d '\r'; }

kesto gen --vars 14 --seed 2 --out gen >/dev/null 2>&1 || { echo "kesto gen failed"; exit 1; }

# Two workers: every job number once, in its own worker folder; results in the job folder.
rm -rf a a.w1 a.w2 && cp -r gen a
cli search a --parallel 2 --seed 3 --max-jobs 16 --csv a.csv >out.txt 2>err.txt
expect_status 0 $? "parallel search"
[ "$(tail -n +2 a.csv | cut -d, -f1 | sort -n | tr '\n' ' ')" = "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 " ] && ok ||
    fail "job numbers: $(tail -n +2 a.csv | cut -d, -f1 | tr '\n' ' ')"
[ "$(tail -n +2 a.csv | cut -d, -f2 | sort -u | tr '\n' ' ')" = "1 2 " ] && ok || fail "both workers used"
for n in 0 7 15; do [ -f a/Job$n ] && [ -f a/Job$n.cnd ] && ok || fail "a/Job$n missing"; done
[ -f a.w1/initial.sti ] && [ -f a.w2/initial.sti ] && [ ! -f a.w1/search.jsonl ] && ok || fail "worker folders"
# A worker's jobs are only those the CSV gives it.
for w in 1 2; do
    mine=$(awk -F, -v w=$w 'NR > 1 && $2 == w { print "Job" $1 }' a.csv | sort | tr '\n' ' ')
    there=$(cd a.w$w && ls Job* | grep -v cnd | sort | tr '\n' ' ')
    [ "$mine" = "$there" ] && ok || fail "worker $w ran $there, the CSV says $mine"
done
best=$(sed -n 's/^Best job is \(Job[0-9]*\) .*/\1/p' out.txt)
if [ "$best" != Job0 ]; then cmp -s a/optimal.sti "a/$best" && ok || fail "optimal.sti is not $best"; fi
cmp -s a/initial.sti gen/initial.sti && ok || fail "initial.sti changed"
[ "$(grep -c '"job"' a/search.jsonl)" = 16 ] && ok || fail "16 journal lines"

# An existing journal is not overwritten; --resume continues it to the same jobs as one run.
cli search a --seed 3 --max-jobs 4 >/dev/null 2>err.txt
expect_status 1 $? "search over an existing journal"
grep -q 'exists: --resume continues' err.txt && ok || fail "message: $(cat err.txt)"
rm -rf b b.w1 && cp -r gen b
cli search b --seed 8 --max-jobs 20 --csv b.csv --quiet >/dev/null 2>&1
rm -rf c c.w1 && cp -r gen c
cli search c --seed 8 --max-jobs 9 --csv c1.csv --quiet >/dev/null 2>&1
cli search c --resume --max-jobs 20 --csv c2.csv --quiet >/dev/null 2>err.txt
expect_status 0 $? "resumed search"
{ stable c1.csv; stable c2.csv; } >c.stable
stable b.csv | diff - c.stable >/dev/null && ok || { fail "resumed search differs"; stable b.csv | diff - c.stable | head -5; }
cmp -s b/optimal.sti c/optimal.sti && ok || fail "resumed optimal.sti differs"
# A torn last line is dropped with a warning, and the journal stays whole after more jobs.
printf '{"job":99,"wor' >>c/search.jsonl
cli search c --resume --max-jobs 22 --quiet >/dev/null 2>err.txt
expect_status 0 $? "resume after a torn line"
grep -q 'warning: the last line of the journal is incomplete' err.txt && ok || fail "torn line warning: $(cat err.txt)"
[ "$(grep -c '"job"' c/search.jsonl)" = 22 ] && ! grep -q '"wor{' c/search.jsonl && ok || fail "journal after the torn line"
# A journal of another folder is refused.
rm -rf d d.w1 && cp -r gen d && cp c/search.jsonl d/
cli search d --resume --max-jobs 25 >/dev/null 2>err.txt
expect_status 1 $? "journal of another folder"
grep -q 'belongs to the job folder' err.txt && ok || fail "message: $(cat err.txt)"

# Arguments.
cli search gen --launcher "srun -N1" >/dev/null 2>err.txt
expect_status 64 $? "launcher without {cmd}"
grep -q 'needs the word {cmd}' err.txt && ok || fail "message: $(cat err.txt)"
cli search gen --strategy best >/dev/null 2>&1
expect_status 64 $? "unknown strategy"
# Without its model file the search says that it judges exchanges as written.
rm -rf q q.w1 && cp -r gen q && rm q/gen.ksx
cli search q --max-jobs 2 >/dev/null 2>err.txt
grep -q 'warning: initial.sti names no model file in the job folder' err.txt && ok ||
    fail "no model file: $(cat err.txt)"
# A plot that cannot be written is found before any job runs.
rm -rf p p.w1 && cp -r gen p
cli search p --max-jobs 3 --plot "$WORK/no/such/folder/p.svg" >/dev/null 2>err.txt
expect_status 3 $? "unwritable plot"
[ ! -f p/Job0 ] && grep -q 'p.svg' err.txt && ok || fail "unwritable plot: $(cat err.txt)"

# The demo model: the plot is kept as an artefact of the test run.
rm -rf demo demo.w1 && cp -r "$DEMO" demo && cp "$KESTO" . 2>/dev/null
cp "$KESTO" demo/ 2>/dev/null
KESTO="$KESTO" cli search demo --strategy sweep --seed 1 --max-jobs 60 --plot "$PLOT" --quiet >out.txt 2>err.txt
expect_status 0 $? "search of the demo model"
grep -q '<polyline' "$PLOT" && grep -q '</svg>' "$PLOT" && ok || fail "plot $PLOT"
echo "plot: $PLOT"

# A job folder whose path holds parentheses, as anything under "Program Files (x86)" does:
# the demo's batch file finds kesto.exe in the folder above and times one job.
if [ -n "$EMU" ]; then
    rm -rf "pf (x86)" && mkdir "pf (x86)" && cp -r "$DEMO" "pf (x86)/trade (v2)" &&
        cp "$KESTO" "pf (x86)/"
    cli run "pf (x86)/trade (v2)" --max-jobs 1 >out.txt 2>err.txt
    expect_status 0 $? "a job in a folder with parentheses"
    grep -q '^Job0 [0-9.]* secs ' out.txt && ok ||
        fail "a job in a folder with parentheses: $(cat out.txt err.txt "pf (x86)/trade (v2)/run.log")"
fi

if [ -z "$EMU" ]; then
    # A launcher: the same seeded search, started through a wrapper that changes into {dir}.
    cat >launch.sh <<'EOS'
#!/bin/sh
cd "$1" || exit 9
shift
exec "$@"
EOS
    rm -rf e e.w1 && cp -r gen e
    cli search e --seed 8 --max-jobs 20 --csv e.csv --quiet --launcher "sh '$WORK/launch.sh' {dir} {cmd}" >/dev/null 2>err.txt
    expect_status 0 $? "search through a launcher"
    stable b.csv | diff - "$(stable e.csv >e.stable; echo e.stable)" >/dev/null && ok || fail "launcher search differs"
    cmp -s b/optimal.sti e/optimal.sti && ok || fail "launcher optimal.sti differs"

    # Jobs that crash, hang and run slow: failures skipped, a hang capped, the search goes on.
    rm -rf f f.w1 && cp -r gen f
    mv f/pelvrn.sh f/real.sh
    cat >f/pelvrn.sh <<'EOS'
#!/bin/sh
case $1 in
Job2) echo crash >run.log; exit 3 ;;
Job4) sleep 61.5; exit 0 ;;
esac
sleep 0.2
exec /bin/sh real.sh "$1"
EOS
    start=$(date +%s)
    cli search f --seed 3 --max-jobs 8 --cap 3 --csv f.csv --quiet >/dev/null 2>err.txt
    expect_status 0 $? "failed jobs skipped"
    [ $(( $(date +%s) - start )) -lt 30 ] && ok || fail "the hung job was not capped"
    grep -q '^2,1,failed,' f.csv && ok || fail "Job2 not failed: $(grep '^2,' f.csv)"
    grep -q '^4,1,capped,' f.csv && ok || fail "Job4 not capped: $(grep '^4,' f.csv)"
    ps -eo args | grep -q '^sleep 61.5' && fail "the capped job's child still runs" || ok
    [ "$(tail -n +2 f.csv | wc -l)" = 8 ] && ok || fail "8 jobs in all"
    grep -q '"reason":"job did not produce expected file pelvrn.sl4"' f/search.jsonl && ok || fail "failure reason"
    rm -rf f.w1 f/search.jsonl
    cli search f --seed 3 --max-jobs 8 --on-failure pause --quiet >/dev/null 2>err.txt
    expect_status 2 $? "failed job with --on-failure pause"
    grep -q 'stopped: a job failed' err.txt && ok || fail "pause message: $(cat err.txt)"

    # Ctrl+C: no further job starts, the running one finishes, and --resume continues.
    rm -rf g g.w1 && cp -r gen g
    mv g/pelvrn.sh g/real.sh
    printf '#!/bin/sh\nsleep 0.4\nexec /bin/sh real.sh "$1"\n' >g/pelvrn.sh
    setsid "$CLI" search g --seed 3 --max-jobs 30 --quiet >/dev/null 2>err.txt &
    pid=$!
    sleep 0.6
    # Meanwhile the folder is the running search's: a second search of either kind is refused.
    cli search g --resume --max-jobs 40 >/dev/null 2>err2.txt
    expect_status 1 $? "second search on one folder"
    grep -q 'another search is running in the job folder .*/g:' err2.txt && ok || fail "second search: $(cat err2.txt)"
    cli run g --max-jobs 3 >/dev/null 2>err2.txt
    expect_status 1 $? "run on a searched folder"
    sleep 0.9
    kill -INT "-$pid"
    wait $pid
    expect_status 0 $? "search stopped by Ctrl+C"
    done1=$(grep -c '"job"' g/search.jsonl)
    [ "$done1" -ge 2 ] && [ "$done1" -lt 30 ] && ok || fail "$done1 jobs before Ctrl+C"
    grep -q 'interrupted; --resume continues' err.txt && ok || fail "interrupt message: $(cat err.txt)"
    grep -q 'stopped by the user' g/search-report.html && ok || fail "no report after Ctrl+C"
    cli search g --resume --max-jobs 6 --quiet >/dev/null 2>&1
    [ "$(grep -c '"job"' g/search.jsonl)" -ge "$done1" ] && ok || fail "resume after Ctrl+C"
fi

summary

#!/bin/sh
# End-to-end tests of "pelvarn-cli run" and of kesto, on folders that kesto generates.
# Usage: run_e2e.sh CLI KESTO [EMULATOR [TEST_HELPER]]
# With an emulator (Wine) the Windows programs run, and the jobs are "cmd /c pelvrn.bat";
# natively the jobs are "/bin/sh pelvrn.sh", and Ctrl+C is tested as well.
set -u
CLI=$1
KESTO=$2
EMU=${3:-}
HELPER=${4:-}
. "$(dirname "$0")/../helpers/e2e.sh"

kesto gen --vars 12 --seed 3 --out gen >/dev/null 2>&1 || { echo "kesto gen failed"; exit 1; }
cp gen/initial.sti initial.copy

# A run: log lines, CSV rows, the final lines, optimal.sti only from job 2 on.
rm -rf a && cp -r gen a
cli run a --include alter --order pair --seed 5 --max-jobs 10 --csv a.csv >out1.txt 2>err.txt
expect_status 0 $? "run of 10 jobs"
[ "$(grep -c '^Job[0-9]* [0-9.]* secs ' out1.txt)" = 10 ] && ok || fail "10 job lines expected"; 
sed -n 1p out1.txt | grep -q '^Job0 [0-9.]* secs original initial.sti \*\*\*\*\*\*\*\*\* best yet$' && ok ||
    fail "job 0 line: $(sed -n 1p out1.txt)"
sed -n 2p out1.txt | grep -q '^Job1 [0-9.]* secs original initial.sti$' && ok || fail "job 1 line: $(sed -n 2p out1.txt)"
grep -q '^Best job is Job[0-9]* [0-9.]* secs$' out1.txt && grep -q '^Worst job is Job' out1.txt &&
    grep -q '^INITIAL.STI time = [0-9.]* secs$' out1.txt && ok || fail "final lines missing"
[ "$(wc -l <a.csv)" = 11 ] && head -1 a.csv | grep -q '^job,seconds,change,mark,best' && ok || fail "CSV rows"
sed -n 2p a.csv | grep -q '^0,[0-9.]*,original initial.sti,best,[0-9.]*' && ok || fail "CSV row of job 0: $(sed -n 2p a.csv)"
# An improvement line never follows job 0 or 1; optimal.sti is the last best job's file.
awk '/^Job/{job=$1} /^Improved/{ if (job=="Job0"||job=="Job1") bad=1 } END{exit bad}' out1.txt && ok ||
    fail "optimal.sti saved for job 0 or 1"
lastBest=$(awk '/best yet$/{j=$1} END{print j}' out1.txt)
if grep -q '^Improved condensation saved as file' out1.txt; then
    cmp -s a/optimal.sti "a/$lastBest" && cmp -s a/optimal.cnd "a/$lastBest.cnd" && ok ||
        fail "optimal.sti differs from $lastBest"
else
    [ ! -f a/optimal.sti ] && ok || fail "optimal.sti written without an improvement"
fi
cmp -s a/initial.sti initial.copy && ok || fail "initial.sti was changed"
[ -f a/Job9 ] && [ ! -f a/Job10 ] && ok || fail "a candidate after the limit was written"

# The same seed gives the same log.
rm -rf b && cp -r gen b
cli run b --include alter --order pair --seed 5 --max-jobs 10 >out2.txt 2>/dev/null
sed 's/[ab]\([\\/]optimal\)/X\1/' out1.txt >o1 && sed 's/[ab]\([\\/]optimal\)/X\1/' out2.txt >o2
cmp -s o1 o2 && ok || { fail "same seed, different log"; diff o1 o2 | head; }
rm -rf b && cp -r gen b
cli run b --include alter --order shuffle --seed 6 --max-jobs 10 --quiet >out3.txt 2>/dev/null
[ "$(grep -c '^Job' out3.txt)" = 0 ] && [ "$(wc -l <out3.txt)" = 3 ] && ok || fail "--quiet prints the final lines only"

# A job that kesto refuses leaves no pelvrn.sl4: a failed job, status 2.
rm -rf c && cp -r gen c
awk 'NR==6{print "E_nothing"; next} {print}' gen/initial.sti >c/initial.sti
cli run c --max-jobs 5 >out4.txt 2>err.txt
expect_status 2 $? "refused job"
grep -q 'warning: job did not produce expected file .*pelvrn.sl4' err.txt && ok || { fail "no pelvrn.sl4 message"; cat err.txt; }
grep -q 'there is no equation E_nothing' c/run.log && ok || fail "kesto's reason not in run.log"

# Refused input and wrong arguments.
mkdir -p empty
cli run empty >/dev/null 2>err.txt; expect_status 1 $? "folder without job files"
rm -rf d && cp -r gen d
cli run d --include leave --order unchanged >/dev/null 2>err.txt; expect_status 1 $? "nothing altered"
grep -q 'Nothing is being altered' err.txt && ok || fail "nothing-altered message"
cli run d --order sideways >/dev/null 2>err.txt; expect_status 64 $? "bad --order"
cli run d --max-jobs 0 >/dev/null 2>err.txt; expect_status 64 $? "bad --max-jobs"
cli run d --csv nofolder/x.csv >/dev/null 2>err.txt; expect_status 3 $? "CSV that cannot be written"
[ ! -f d/Job0 ] && ok || fail "a job was written although the CSV failed"

# kesto's report request, and a refusal removing an old solution file.
printf 'RPT\r\nk.rpt\r\n  \r\n' >kstrpt.sti
KESTO_RELEASE=11.2 KESTO_PROGRAM_VERSION=s kesto -sti kstrpt.sti >/dev/null 2>&1
expect_status 0 $? "kesto report"
grep -q '^\[result\]' k.rpt && grep -q '^release=11.2' k.rpt && grep -q '^Program version=s' k.rpt && ok ||
    fail "report contents"
cd c && echo old >pelvrn.sl4 && kesto -sti initial.sti -los run.log >/dev/null 2>&1
expect_status 2 $? "kesto refusal"
[ ! -f pelvrn.sl4 ] && ok || fail "kesto left a solution file after refusing"
cd ..

# Jobs that misbehave. job FOLDER LOG_LINE: the job leaves pelvrn.sl4 and, when LOG_LINE is
# not empty, a run.log holding it.
job() {
    if [ -n "$EMU" ]; then
        { printf '@echo off\r\necho x> pelvrn.sl4\r\n'; [ -n "$2" ] && printf 'echo %s> run.log\r\n' "$2"; } >"$1/pelvrn.bat"
    else
        { printf '#!/bin/sh\necho x > pelvrn.sl4\n'; [ -n "$2" ] && printf "echo '%s' > run.log\\n" "$2"; } >"$1/pelvrn.sh"
    fi
}
# A run.log left by an earlier run is never taken for a job's own.
rm -rf r && cp -r gen r && job r "" && printf 'Total CPU is 1.0 seconds\r\n' >r/run.log
cli run r --max-jobs 3 >out6.txt 2>err.txt
expect_status 2 $? "old run.log"
grep -q 'error: job did not produce expected file .*run.log$' err.txt && ok || { fail "old run.log was read"; cat err.txt; }
grep -q '^Job0 ' out6.txt && fail "a time was taken from the old run.log" || ok
# A time below zero is no time.
rm -rf n && cp -r gen n && job n "Total CPU is -5 seconds"
cli run n --max-jobs 3 >out7.txt 2>err.txt
expect_status 2 $? "time below zero"
grep -q 'problem getting run time Time below zero in "Total CPU is" line' err.txt && ok || { fail "negative time"; cat err.txt; }
grep -q '^Best job' out7.txt && fail "a negative time became the best" || ok
# Bytes above 126 around the condensation section reach every job file as they were.
rm -rf u && cp -r gen u && job u "Total CPU is 1.5 seconds"
{ printf 'mod\350le.ksx ! r\351sum\351\r\n'; cat gen/initial.sti; } >u/initial.sti
cli run u --max-jobs 3 >/dev/null 2>err.txt
expect_status 0 $? "8-bit file name"
[ "$(head -1 u/Job2)" = "$(head -1 u/initial.sti)" ] && ok || fail "the first line of Job2 is $(head -1 u/Job2 | od -c | head -2)"

# second_search_refused SUFFIX: while a run holds the folder s (its job waits a while), a
# second run on s is refused with exit 1 and says why.
second_search_refused() {
    cli run s --time-limit 20 >/dev/null 2>/dev/null &
    first=$!
    i=0; while [ ! -f s/Job0 ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done
    cli run s --csv s.csv >/dev/null 2>err.txt
    expect_status 1 $? "second search on one folder$1"
    grep -q 'Another search is running in the job folder s ' err.txt && ok || { fail "second search message$1"; cat err.txt; }
    kill "$first" 2>/dev/null; wait "$first" 2>/dev/null
}

if [ -z "$EMU" ]; then
    # A run.log that is a named pipe is refused at once.
    rm -rf p && cp -r gen p && printf '#!/bin/sh\nmkfifo run.log\necho x > pelvrn.sl4\n' >p/pelvrn.sh
    cli run p --time-limit 20 >/dev/null 2>err.txt
    expect_status 2 $? "run.log a named pipe"
    grep -q 'problem getting run time Cannot open file .*run.log: Not a regular file' err.txt && ok || { fail "named pipe"; cat err.txt; }
    # A second search on the same folder is refused while the first runs.
    rm -rf s && cp -r gen s && printf '#!/bin/sh\nsleep 2\n' >s/pelvrn.sh
    second_search_refused ""
    [ ! -f s.csv ] && ok || fail "the refused search wrote its CSV"
    # A job that hangs is ended with everything it started when its time runs out.
    rm -rf h && cp -r gen h && printf '#!/bin/sh\nsleep 317\n' >h/pelvrn.sh
    cli run h --time-limit 1 >/dev/null 2>err.txt
    expect_status 2 $? "hanging job"
    grep -q 'Timed out' err.txt && ok || fail "no time-out message"
    ps -eo args | grep -q '^sleep 317$' && fail "the hanging job's child ran on" || ok
    # A job ended by a signal is named so.
    rm -rf k && cp -r gen k && printf '#!/bin/sh\nkill -SEGV $$\n' >k/pelvrn.sh
    cli run k --max-jobs 1 >/dev/null 2>err.txt
    expect_status 2 $? "job ended by a signal"
    grep -q 'run.log the job was ended by signal 11$' err.txt && ok || { fail "signal not named"; cat err.txt; }
fi

if [ -n "$EMU" ] && [ -n "$HELPER" ] && command -v winepath >/dev/null 2>&1; then
    # Under Wine: a second search on a folder is refused, and a job that hangs goes with
    # the program it started (the job object) when its time runs out.
    helper=$(winepath -w "$HELPER" 2>/dev/null)
    rm -rf s && cp -r gen s && printf '@echo off\r\n"%s" sleep 3000\r\n' "$helper" >s/pelvrn.bat
    second_search_refused " (Wine)"
    rm -rf h && cp -r gen h && printf '@echo off\r\n"%s" sleep 317000\r\n' "$helper" >h/pelvrn.bat
    cli run h --time-limit 1 >/dev/null 2>err.txt
    expect_status 2 $? "hanging job (Wine)"
    grep -q 'Timed out' err.txt && ok || fail "no time-out message (Wine)"
    sleep 0.5
    ps -eo args | grep -v grep | grep -q 'sleep 317000' && fail "the hanging job's program ran on (Wine)" || ok
fi

if [ -z "$EMU" ] && command -v setsid >/dev/null 2>&1; then
    # Ctrl+C, sent to the whole process group as a terminal does: the job may finish, its
    # result is not read; a second Ctrl+C ends the job.
    slowjob() { # slowjob FOLDER: every job waits a little, and leaves a mark when it ends
        cat >"$1/pelvrn.sh" <<EOS
#!/bin/sh
sleep 1
"$KESTO" -sti "\$1" -los run.log
touch "done.\$1"
EOS
    }
    for presses in 1 2; do
        rm -rf e && cp -r gen e && slowjob e
        setsid "$CLI" run e --include alter --order pair --seed 1 --max-jobs 20 >out5.txt 2>err.txt &
        pid=$!
        i=0; while [ ! -f e/Job1 ] && [ $i -lt 100 ]; do sleep 0.05; i=$((i+1)); done
        kill -INT "-$pid"
        if [ "$presses" = 2 ]; then sleep 0.3; kill -INT "-$pid"; fi
        wait $pid
        expect_status 0 $? "Ctrl+C x$presses"
        if [ "$presses" = 1 ]; then
            [ -f e/done.Job1 ] && ok || fail "the running job did not finish after one Ctrl+C"
        else
            [ ! -f e/done.Job1 ] && ok || fail "the running job finished after two Ctrl+C"
        fi
        grep -q '^Job1 ' out5.txt && fail "the paused job's result was read" || ok
        [ "$(grep -c '^Job0 ' out5.txt)" = 1 ] && ok || fail "job 0 line missing after Ctrl+C"
        [ ! -f e/Job2 ] && ok || fail "a job was started after Ctrl+C"
    done
fi

# Under Wine: a job folder at a drive root. A free drive letter of the prefix is pointed at a
# scratch folder; every job file is named inside the root ("X:\\Job0", not "X:Job0").
if [ -n "$EMU" ]; then
    devices=${WINEPREFIX:-$HOME/.wine}/dosdevices
    letter=
    for l in r s t u; do [ -e "$devices/$l:" ] || { letter=$l; break; }; done
    if [ -n "$letter" ] && [ -d "$devices" ]; then
        L=$(echo "$letter" | tr a-z A-Z)
        rm -rf root && cp -r gen root && ln -s "$WORK/root" "$devices/$letter:"
        cli run "$L:\\" --include alter --order pair --seed 5 --max-jobs 20 >out6.txt 2>err.txt
        expect_status 0 $? "run at a drive root"
        grep "^Improved condensation saved as file" out6.txt | head -1
        grep -q "^Improved condensation saved as file $L:\\\\optimal.sti$" out6.txt && ok ||
            fail "drive root: $(grep Improved out6.txt | head -1)"
        [ -f root/Job0 ] && [ -f root/Job19 ] && [ -f root/optimal.sti ] && [ -f root/run.log ] && ok ||
            fail "drive root: the job files are not in the root"
        cmp -s root/initial.sti initial.copy && ok || fail "drive root: initial.sti was changed"

        # The diagnostics report with TEMP at that root: the translator's files are named
        # inside it ("X:\\kesto.rpt", not the drive-relative "X:kesto.rpt"), and its report is
        # copied. Wine takes TEMP from its registry, so a batch file sets it.
        mkdir -p kv && cp "$KESTO" kv/kesto.exe
        winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
        printf '@echo off\r\nset "TEMP=%s:\\"\r\nset "TMP=%s:\\"\r\nset "KVDIR=%s"\r\n"%s" diag --out diag.txt\r\n' \
            "$L" "$L" "$(winpath "$WORK/kv")" "$(winpath "$CLI")" >diag.bat
        "$EMU" cmd /c diag.bat >out7.txt 2>err.txt
        expect_status 0 $? "diag with TEMP at a drive root"
        rm -f "$devices/$letter:"
        tr -d '\r' <diag.txt | grep -A2 '^SECTION 14: ' >rpt.txt
        cat rpt.txt
        [ "$(sed -n 1p rpt.txt)" = "SECTION 14: Contents of RPT file from KESTO: $L:\\kesto.rpt" ] &&
            grep -q '^release=' rpt.txt && ok || fail "diag at a drive-root TEMP: $(cat rpt.txt)"
        [ ! -f root/kesto.rpt ] && [ -f root/kstrpt.log ] && ok ||
            fail "diag at a drive-root TEMP: the translator's files are not in the root"
    else
        echo "no free drive letter: drive-root run skipped"
    fi
fi

summary

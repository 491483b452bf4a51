#!/bin/sh
# The cluster search for real: a seeded search whose jobs go through srun on the Slurm that
# scripts/slurm-local started, checked against the same search run locally.
# Usage: slurm_e2e.sh CLI KESTO   (SLURM_CONF set)
set -u
CLI=$1
KESTO=$2
E2E_NAME=pelvarn-slurm-e2e
. "$(dirname "$0")/../helpers/e2e.sh"
# The journal's jobs without what depends on the machine and the clock: the wall time and
# when each job ended.
jobs_of() { tail -n +2 "$1" | sed 's/"at":"[^"]*",//; s/"wall":[^,]*,//'; }

"$KESTO" gen --vars 16 --seed 5 --out gen >/dev/null || { echo "kesto gen failed"; exit 1; }
cp -r gen local && cp -r gen cluster
"$CLI" search local --seed 7 --max-jobs 12 --quiet >local.out 2>&1 || fail "local search: $(cat local.out)"
"$CLI" search cluster --seed 7 --max-jobs 12 --quiet \
    --launcher "srun -N1 -n1 --chdir={dir} {cmd}" >cluster.out 2>&1 || fail "srun search: $(cat cluster.out)"
[ "$(grep -c '"job"' cluster/search.jsonl)" = 12 ] && ok || fail "12 jobs through srun"
jobs_of local/search.jsonl >l.jobs
jobs_of cluster/search.jsonl >c.jobs
cmp -s l.jobs c.jobs && ok || { fail "the journals differ"; diff l.jobs c.jobs | head -4; }
cmp -s local/optimal.sti cluster/optimal.sti && ok || fail "optimal.sti differs"
grep -q '"status":"ok"' cluster/search.jsonl && ! grep -q '"status":"failed"' cluster/search.jsonl && ok ||
    fail "failed jobs through srun"
cat cluster.out

# Two jobs at once on the node's two CPUs.
cp -r gen par
"$CLI" search par --seed 7 --max-jobs 8 --parallel 2 --quiet \
    --launcher "srun -N1 -n1 --chdir={dir} {cmd}" >par.out 2>&1 || fail "parallel srun search: $(cat par.out)"
[ "$(grep -c '"worker":1' par/search.jsonl)" -ge 1 ] && ok || fail "the second worker ran nothing"

summary

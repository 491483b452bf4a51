#!/bin/sh
# The demo job: translates, condenses and solves trade.ksx with the stored input $1, using the
# stand-in suite kesto, and leaves run.log and pelvrn.sl4 in this folder.
# kesto is taken from $KESTO, else from the folder above this one, else from this folder.
here=$(cd "$(dirname "$0")" && pwd)
for k in "${KESTO:-}" "$here/../kesto" "$here/kesto"; do
    if [ -n "$k" ] && [ -x "$k" ]; then exec "$k" -sti "$1" -los run.log; fi
done
echo "pelvrn.sh: cannot find kesto (set KESTO, or put kesto in $here/..)" | tee run.log >&2
exit 1

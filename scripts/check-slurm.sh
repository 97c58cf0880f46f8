#!/bin/bash
# Runs the README's Slurm job array on a one-node Slurm of its own and checks
# that its tasks together write what one run of vizuvod-batch writes, byte for
# byte, and that a task which failed half-way, run again alone as the README
# says, completes the rest without writing anything twice.
#
# munged, slurmctld and slurmd are started from a configuration in a scratch
# folder (its own munge key, socket, ports, state and spool; SLURM_CONF points
# there), and stopped by their process ids at the end, also on failure. No
# system file is changed. `small.sh` is the fenced block after the
# README's marker line "<!-- small.sh: ...", submitted as written with only
# its two folders, /srv/archive and /srv/small, put in the scratch folder. Its
# `vizuvod-batch` is the build's (first on the PATH the tasks get). Needs root
# (slurmd starts the tasks as their user), slurm-wlm, munge and cjpeg
# (`make check-deps`). CI runs it after the package and image checks.
#
#   scripts/check-slurm.sh [BUILD_DIR]       (or `make check-slurm`)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$here/build}")
cd "$here"
start=$SECONDS
bound=60 # seconds a submission may take, queued and run

fail() {
  echo "check-slurm: $*" >&2
  exit 1
}
[ -x "$build/cli/vizuvod-batch" ] || fail "no $build/cli/vizuvod-batch: build first (make build)."
[ "$(id -u)" -eq 0 ] || fail "needs root: slurmd starts each task as the user who submitted it."
for tool in munged mungekey slurmctld slurmd sbatch squeue scontrol sinfo cjpeg; do
  command -v "$tool" >/dev/null || fail "$tool is missing: make check-deps installs it."
done

# The README's script, as printed.
readme_script() {
  awk '/^<!-- small\.sh: / { marked = 1; next }
       marked && /^```/ { if (inside) exit; inside = 1; next }
       inside { print }' README.md
}
script=$(readme_script)
[ -n "$script" ] || fail "README.md has no fenced block after a line \"<!-- small.sh: ...\"."
for folder in /srv/archive /srv/small; do
  [[ $script == *"$folder"* ]] || fail "the README's small.sh does not name $folder:"$'\n'"$script"
done
# Its shards: the tasks of its array, 0 to N-1.
last=$(sed -n 's/^#SBATCH --array=0-\([0-9]*\)$/\1/p' <<<"$script")
[ -n "$last" ] || fail "the README's small.sh has no line \"#SBATCH --array=0-<N-1>\"."
shards=$((last + 1))

work=
daemons=() # "name pid", in the order started
jobs_submitted=()
stop_daemons() {
  local status=$? name pid i
  set +e
  trap - EXIT INT TERM HUP
  if [ "${#jobs_submitted[@]}" -gt 0 ] && [ "${#daemons[@]}" -ge 2 ]; then
    timeout 10 scancel "${jobs_submitted[@]}" 2>/dev/null || true
  fi
  for ((i = ${#daemons[@]} - 1; i >= 0; i--)); do
    read -r name pid <<<"${daemons[i]}"
    kill "$pid" 2>/dev/null || continue
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
      echo "check-slurm: $name ($pid) did not stop on SIGTERM; killing it." >&2
      kill -KILL "$pid" 2>/dev/null || true
    fi
    wait "$pid" 2>/dev/null || true
  done
  if [ "$status" -ne 0 ] && [ -n "$work" ]; then
    for log in "$work"/log/*; do
      [ -f "$log" ] && { echo "--- $log (end)"; tail -n 15 "$log"; }
    done >&2
  fi
  [ -n "$work" ] && rm -rf "$work"
  exit "$status"
}
trap stop_daemons EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

work=$(mktemp -d "${TMPDIR:-/tmp}/vizuvod-slurm.XXXXXX")
# munged wants every folder above its socket searchable by all and writable
# by no one else.
chmod 755 "$work"
script=${script//\/srv\/archive/$work/archive}
script=${script//\/srv\/small/$work/small}
if [[ $script == *"/srv/"* ]]; then
  fail "the README's small.sh names a folder under /srv besides /srv/archive and /srv/small:"$'\n'"$script"
fi

mkdir -p "$work"/{munge,state,spool,log,submit}
chmod 700 "$work/state" "$work/spool"

# Two free TCP ports on this machine for slurmctld and slurmd.
port_free() { ! ss -Hltn "sport = :$1" 2>/dev/null | grep -q .; }
for _ in $(seq 100); do
  port=$((20000 + RANDOM % 40000))
  port_free "$port" && port_free $((port + 1)) && break
done

mungekey --create --keyfile="$work/munge/munge.key"
munge_socket=$work/munge/munge.socket
munged --foreground --key-file="$work/munge/munge.key" --socket="$munge_socket" \
  --pid-file="$work/munge/munged.pid" --seed-file="$work/munge/munged.seed" \
  --log-file="$work/log/munged.log" >"$work/log/munged.out" 2>&1 &
daemons+=("munged $!")
for _ in $(seq 50); do [ -S "$munge_socket" ] && break; sleep 0.1; done
[ -S "$munge_socket" ] || fail "munged made no socket."

# One node, this machine, declared with 16 CPUs each shared by up to 8 tasks,
# so that the README's 16 tasks of 4 CPUs run at once on any machine.
node=$(hostname -s)
memory=$(slurmd -C | sed -n 's/.*RealMemory=\([0-9]*\).*/\1/p' | head -n 1)
export SLURM_CONF=$work/slurm.conf
cat >"$SLURM_CONF" <<EOF
ClusterName=vizuvodcheck
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$munge_socket
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
SlurmdParameters=config_overrides
MpiDefault=none
SwitchType=switch/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MailProg=/bin/true
ReturnToService=2
NodeName=$node NodeAddr=127.0.0.1 CPUs=16 RealMemory=${memory:-1000} State=UNKNOWN
PartitionName=check Nodes=$node Default=YES MaxTime=INFINITE OverSubscribe=FORCE:8 State=UP
EOF
slurmctld -D -i >"$work/log/slurmctld.out" 2>&1 &
daemons+=("slurmctld $!")
slurmd -D -N "$node" >"$work/log/slurmd.out" 2>&1 &
daemons+=("slurmd $!")
for _ in $(seq 150); do
  [ "$(sinfo -h -n "$node" -o %t 2>/dev/null)" = idle ] && break
  sleep 0.2
done
[ "$(sinfo -h -n "$node" -o %t 2>/dev/null)" = idle ] || fail "the node did not come up: $(sinfo 2>&1)"
echo "Slurm is up ($((SECONDS - start)) s): slurmctld on port $port, node $node."

# The photos: the made-up folder three times over, so that some shards hold
# more than one photo.
scripts/make-test-photos.sh "$work/archive/a"
cp -a "$work/archive/a" "$work/archive/b"
cp -a "$work/archive/a" "$work/archive/c"
photos=$(find "$work/archive" -type f | wc -l)
batch=$build/cli/vizuvod-batch
options=(--width 800 --recursive)
"$batch" "${options[@]}" --quiet --output "$work/one" "$work/archive" >/dev/null
printf '%s\n' "$script" >"$work/submit/small.sh"

# submit [sbatch options]: sbatch small.sh in the submit folder, then waits
# for every task to leave the queue. Sets id to the job's.
submit() {
  id=$(cd "$work/submit" && PATH="$build/cli:$PATH" sbatch --parsable "$@" small.sh)
  id=${id%%;*}
  jobs_submitted+=("$id")
  for _ in $(seq $((bound * 5))); do
    [ -z "$(squeue -h -j "$id" 2>/dev/null)" ] && return
    sleep 0.2
  done
  squeue >&2
  fail "job $id did not end within $bound s."
}
# tasks ID: "task state exit" for each task of job ID, and in outputs the
# files its tasks wrote their output to.
tasks() {
  scontrol -o show job "$1" | sed -n \
    's/.*ArrayTaskId=\([0-9]*\) .*JobState=\([A-Z_]*\) .*ExitCode=\([0-9:]*\).*/\1 \2 \3/p' | sort -n
}
outputs() {
  scontrol -o show job "$1" | sed -n 's/.* StdOut=\([^ ]*\).*/\1/p'
}
# photos_taken ID: how many photos the tasks of job ID took between them, by
# their summaries ("Written 3 of 4 photos ...", or none for an empty shard).
photos_taken() {
  outputs "$1" | while read -r file; do cat "$file"; done |
    sed -n 's/^Written [0-9]* of \([0-9]*\) photos.*/\1/p' | awk '{ n += $1 } END { print n + 0 }'
}
# shard_results TASK: the results shard TASK writes, relative to the output,
# in the order its photos are taken (one job: printed in that order).
shard_results() {
  "$batch" "${options[@]}" --shard "$1/$shards" --jobs 1 --dry-run --output "$work/small" "$work/archive" \
    2>"$work/dry-run.err" | sed -n "s|^.* -> $work/small/\(.*\) ([0-9]*x[0-9]*)\$|\1|p"
}

# The whole array, as the README submits it.
submit
states=$(tasks "$id")
if [ "$(grep -c ' COMPLETED 0:0$' <<<"$states")" -ne "$(wc -l <<<"$states")" ]; then
  fail "tasks of job $id failed (task state exit):"$'\n'"$states"$'\n'"$(outputs "$id" | xargs cat)"
fi
count=$(wc -l <<<"$states")
[ "$count" -eq "$shards" ] || fail "job $id ran $count tasks, not $shards."
diff -r "$work/one" "$work/small" ||
  fail "the $count tasks did not write what one run with ${options[*]} writes."
# Each photo was in one task's share: the tasks' summaries add up to the photos.
taken=$(photos_taken "$id")
[ "$taken" -eq "$photos" ] || fail "the $count tasks took $taken photos between them, not $photos."
echo "$count tasks wrote what one run writes, $photos photos byte for byte ($((SECONDS - start)) s)."

# A task that fails half-way: its results removed, and a folder where its
# second result goes, so that this photo fails (and the task stops at it)
# while the first, taken before it, is written. Then it is run again alone, as the
# README says: it takes its own shard again, skips what it wrote, writes
# the rest.
for task in $(seq 0 "$last"); do
  mapfile -t shard < <(shard_results "$task")
  if [ "${#shard[@]}" -ge 2 ]; then break; fi
done
[ "${#shard[@]}" -ge 2 ] || fail "no shard of $shards holds two photos: $(cat "$work/dry-run.err")"
for result in "${shard[@]}"; do rm "$work/small/$result"; done
blocked=${shard[1]}
mkdir "$work/small/$blocked"
submit --array="$task"
[ "$(tasks "$id")" = "$task FAILED 1:0" ] || fail "task $task with $blocked blocked: $(tasks "$id")."
[ -z "$(find "$work/small/$blocked" -mindepth 1)" ] || fail "the failed task wrote into $blocked."
declare -A written # result -> inode and time
for result in "${shard[@]}"; do
  if [ -f "$work/small/$result" ]; then
    written[$result]=$(stat -c '%i %y' "$work/small/$result")
  fi
done
[ "${#written[@]}" -gt 0 ] || fail "task $task wrote nothing before failing."
rmdir "$work/small/$blocked"
submit --array="$task"
[ "$(tasks "$id")" = "$task COMPLETED 0:0" ] || fail "task $task run again: $(tasks "$id")."
taken=$(photos_taken "$id")
[ "$taken" -eq "${#shard[@]}" ] ||
  fail "task $task run again alone took $taken photos, not the ${#shard[@]} of its shard."
for result in "${!written[@]}"; do
  [ "$(stat -c '%i %y' "$work/small/$result")" = "${written[$result]}" ] ||
    fail "task $task run again wrote $result a second time."
done
diff -r "$work/one" "$work/small" || fail "task $task run again did not complete the results."
echo "Task $task (${#shard[@]} photos) failed half-way on $blocked; run again alone, it skipped" \
  "the ${#written[@]} it wrote and wrote the rest: all $photos results byte for byte." \
  "$((SECONDS - start)) s."

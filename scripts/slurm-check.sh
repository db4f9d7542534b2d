#!/usr/bin/env bash
# Checks deploy/slurm/study.sbatch on a one-node Slurm cluster started on this
# machine: installs Debian's slurm-wlm and munge when missing (as root), starts
# munged, slurmctld and slurmd (no cgroups, all state in a temporary folder),
# submits a plan of eight rows (one of them failing) as a 3-task array and its
# merge, waits, and compares the merged study with the same plan run at once.
# Every daemon it started is stopped again. Exit 0 only when they are identical.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
batch=${KAVRO_BATCH:-$root/build/release/kavro-batch}
[ -x "$batch" ] || scripts/build.sh

missing=()
command -v slurmctld >/dev/null || missing+=(slurm-wlm)
command -v munged >/dev/null || missing+=(munge)
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

tmp=$(mktemp -d /tmp/kavro-slurm.XXXXXX)
pids=()
stop() {
    local status=$?
    if [ -n "${SLURM_CONF:-}" ] && [ -n "${jobs_submitted:-}" ]; then
        scancel "${jobs_submitted[@]}" 2>/dev/null || true
    fi
    # Ours only, newest first: slurmd, slurmctld, munged.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    [ ${#pids[@]} -eq 0 ] || echo "stopped the daemons started here: ${pids[*]}"
    if [ "$status" -ne 0 ] && [ -d "$tmp/log" ]; then
        for log in "$tmp"/log/*; do
            echo "--- $log"
            tail -n 30 "$log"
        done >&2
    fi
    rm -rf "$tmp"
    exit "$status"
}
trap stop EXIT INT TERM

# Waits up to $1 seconds for the command after it to succeed.
await() {
    local seconds=$1
    shift
    for ((t = 0; t < seconds * 2; t++)); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.5
    done
    echo "timed out after ${seconds}s waiting for: $*" >&2
    return 1
}

# A port no one listens on, from a range the usual services leave alone.
free_port() {
    local port
    for port in $(shuf -i 20000-29999 -n 50); do
        ss -Hltn "sport = :$port" | grep -q . || { echo "$port"; return; }
    done
    echo "no free port found" >&2
    return 1
}

mkdir -p "$tmp"/{munge,state,spool,log,plan,out}
chmod 711 "$tmp/munge"

# munge: a key of our own and a socket in the temporary folder.
dd if=/dev/urandom of="$tmp/munge/munge.key" bs=1024 count=1 status=none
chmod 400 "$tmp/munge/munge.key"
munged --foreground --force --key-file="$tmp/munge/munge.key" --socket="$tmp/munge/munge.socket" \
    --pid-file="$tmp/munge/munged.pid" --log-file="$tmp/log/munged.log" --seed-file="$tmp/munge/seed" \
    2>>"$tmp/log/munged.log" &
pids+=($!)
await 10 test -S "$tmp/munge/munge.socket"

host=$(hostname -s)
cat >"$tmp/slurm.conf" <<CONF
ClusterName=kavrocheck
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$(free_port)
SlurmdPort=$(free_port)
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$tmp/munge/munge.socket
StateSaveLocation=$tmp/state
SlurmdSpoolDir=$tmp/spool
SlurmctldPidFile=$tmp/slurmctld.pid
SlurmdPidFile=$tmp/slurmd.pid
SlurmctldLogFile=$tmp/log/slurmctld.log
SlurmdLogFile=$tmp/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SwitchType=switch/none
MpiDefault=none
MailProg=/bin/true
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
MinJobAge=600
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=check Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF=$tmp/slurm.conf

slurmctld -D -i -f "$SLURM_CONF" 2>>"$tmp/log/slurmctld.log" &
pids+=($!)
await 30 scontrol ping
slurmd -D -f "$SLURM_CONF" 2>>"$tmp/log/slurmd.log" &
pids+=($!)
await 30 bash -c '[ "$(sinfo -h -o %T)" = idle ]'
echo "cluster up: $(sinfo -h -o '%P %D node(s) %c CPUs %T')"

# The plan: eight rows on the bundled sample, row 7 a missing file.
cp data/EURUSD_H1.PRN data/EURUSD_D1.PRN "$tmp/plan/"
cat >"$tmp/plan/plan.csv" <<'PLAN'
kind,hourly,daily,tp,sl,step,first-hour,last-hour,start,opt-len
simple,EURUSD_H1.PRN,EURUSD_D1.PRN,,,,,,,
simple,EURUSD_H1.PRN,EURUSD_D1.PRN,100,35,0,5,5,,
thorough,EURUSD_H1.PRN,EURUSD_D1.PRN,,,,,,,
simple,EURUSD_H1.PRN,EURUSD_D1.PRN,120,40,10,8,16,2020-01-02,
thorough,EURUSD_H1.PRN,EURUSD_D1.PRN,,,,,,2020-01-02,2
simple,EURUSD_H1.PRN,EURUSD_D1.PRN,,,0,10,10,2020-04-02,
simple,missing.PRN,EURUSD_D1.PRN,,,,,,,
thorough,EURUSD_H1.PRN,EURUSD_D1.PRN,150,30,,,,,4
PLAN

# Both jobs submitted from the sbatch file's own helper.
KAVRO_BATCH=$batch deploy/slurm/study.sbatch "$tmp/plan/plan.csv" "$tmp/out" 3 | tee "$tmp/submitted"
mapfile -t jobs_submitted < <(grep -o 'job [0-9]*' "$tmp/submitted" | cut -d' ' -f2)
await 300 bash -c "[ -z \"\$(squeue -h -j $(IFS=,; echo "${jobs_submitted[*]}"))\" ]"
echo "--- the jobs as Slurm ended them"
for job in "${jobs_submitted[@]}"; do
    scontrol -o show job "$job" |
        awk '{ s = ""; for (i = 1; i <= NF; i++) if ($i ~ /^(JobId|ArrayTaskId|JobState|ExitCode)=/) s = s " " $i; print substr(s, 2) }'
done
echo "--- merge log"
cat "$tmp/out/logs/merge.out"

echo "--- the same plan at once"
"$batch" study --plan "$tmp/plan/plan.csv" --out "$tmp/whole" 2>"$tmp/whole.err" || true
tail -n 2 "$tmp/whole.err"

if [ ! -f "$tmp/out/study/summary.csv" ]; then
    echo "FAILED: the merge wrote no summary" >&2
    exit 1
fi
echo "--- merged summary.csv"
cat "$tmp/out/study/summary.csv"
if cmp "$tmp/out/study/summary.csv" "$tmp/whole/summary.csv" && diff -r "$tmp/out/study" "$tmp/whole"; then
    echo "IDENTICAL: the merged study of 3 shards equals the plan run at once (summary.csv and every row-K/)"
else
    echo "FAILED: the merged study differs from the plan run at once" >&2
    exit 1
fi

# shellcheck shell=bash disable=SC2154  # $scratch is set by the check.
# Starts and stops the daemons of scripts/cluster-check.sh: munged, slurmctld,
# slurmd and an sshd, each configured from files in $scratch. The daemons and
# every command the check starts carry KOLVANE_CHECK_RUN=$scratch in their
# environment (Slurm's jobs and parallel's remote commands inherit it), which
# is how teardown finds them and nothing else on the machine.

# Installs from Debian only the packages whose commands are missing.
install_missing() {
  local want=() cmd pkg
  for pair in sbatch:slurm-wlm slurmctld:slurm-wlm slurmd:slurm-wlm munged:munge \
    sshd:openssh-server ssh:openssh-client parallel:parallel ss:iproute2; do
    cmd="${pair%%:*}" pkg="${pair#*:}"
    [ -x "/usr/sbin/$cmd" ] || command -v "$cmd" >/dev/null || want+=("$pkg")
  done
  [ "${#want[@]}" -eq 0 ] && return
  echo "cluster-check: installing ${want[*]}" >&2
  apt-get update -qq
  # policy-rc.d or no init keeps the packages' own services from starting;
  # the check starts its own daemons either way.
  mapfile -t want < <(printf '%s\n' "${want[@]}" | sort -u)
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${want[@]}" >/dev/null
}

# $1 different TCP ports that nothing listens on, above the usual services.
free_ports() {
  local port found=()
  while [ "${#found[@]}" -lt "$1" ]; do
    port=$((20000 + RANDOM % 30000))
    [[ " ${found[*]} " == *" $port "* ]] && continue
    [ -z "$(ss -Hltn "sport = :$port")" ] && found+=("$port")
  done
  echo "${found[@]}"
}

# Waits up to $2 seconds for the command in $1 to succeed.
wait_for() {
  local deadline=$((SECONDS + $2))
  until eval "$1" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || { echo "cluster-check: timed out waiting for: $1" >&2; return 1; }
    sleep 0.2
  done
}

# Pids of the daemons started: sshd overwrites its environment with its
# process title, so the mark alone does not find it.
daemon_pids=()

# Starts $@ in the background, marked as this run's, with what it prints in
# $scratch/NAME.console, and records its pid. Its own session keeps Ctrl+C
# away from it, so that teardown can still cancel jobs through slurmctld.
start_daemon() {
  local name="${1##*/}"
  KOLVANE_CHECK_RUN="$scratch" setsid "$@" >"$scratch/$name.console" 2>&1 &
  daemon_pids+=("$!")
}

start_munge() {
  mkdir -m 700 "$scratch/munge"
  dd if=/dev/urandom of="$scratch/munge/munge.key" bs=1024 count=1 status=none
  chmod 600 "$scratch/munge/munge.key"
  start_daemon munged --foreground --force --key-file="$scratch/munge/munge.key" \
    --socket="$scratch/munge/munge.socket" --pid-file="$scratch/munge/munged.pid" \
    --log-file="$scratch/munge/munged.log" --seed-file="$scratch/munge/munged.seed"
  wait_for "munge --socket='$scratch/munge/munge.socket' -n </dev/null" 10
}

# A one-node cluster on this machine; process tracking and task plugins that
# need no cgroups, because a container's cgroup tree is not Slurm's to use.
# The node claims a CPU per part (config_overrides lets it claim more than it
# has), so every task starts at once: tasks queued behind a full node start
# only some 3 s after the last one ended, a wait real clusters do not show.
start_slurm() { # PARTS
  local dir="$scratch/slurm" cpus ports
  read -ra ports <<<"$(free_ports 2)"
  cpus="$(nproc)"
  [ "$1" -gt "$cpus" ] && cpus="$1"
  mkdir -p "$dir/state" "$dir/spool"
  touch "$dir/plugstack.conf"
  cat >"$dir/slurm.conf" <<EOF
ClusterName=kolvane-check
SlurmctldHost=$(hostname -s)(127.0.0.1)
SlurmctldPort=${ports[0]}
SlurmdPort=${ports[1]}
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$scratch/munge/munge.socket
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
PlugStackConfig=$dir/plugstack.conf
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
MpiDefault=none
SlurmdParameters=config_overrides
ReturnToService=2
# sbatch --wait looks every 2 s only while MinJobAge is below 6 s; with the
# default 300 its pauses grow to 8 s and 32 s, and an array done in 10 s was
# seen done after 42 s.
MinJobAge=4
MailProg=/bin/true
NodeName=check-node NodeAddr=127.0.0.1 NodeHostname=$(hostname -s) CPUs=$cpus State=UNKNOWN
PartitionName=check Nodes=check-node Default=YES MaxTime=INFINITE State=UP
EOF
  export SLURM_CONF="$dir/slurm.conf"
  start_daemon slurmctld -D -i -f "$SLURM_CONF"
  start_daemon slurmd -D -N check-node -f "$SLURM_CONF"
  wait_for "timeout 5 sinfo -h -N -o %T | grep -qx idle" 30
}

# An sshd on a spare port of 127.0.0.1 that takes only a key made here, and
# an ssh client configuration that knows its host key, so nothing is asked.
start_sshd() {
  local dir="$scratch/ssh" port
  port="$(free_ports 1)"
  mkdir -m 700 "$dir"
  ssh-keygen -q -t ed25519 -N '' -f "$dir/host_key"
  ssh-keygen -q -t ed25519 -N '' -f "$dir/client_key"
  cp "$dir/client_key.pub" "$dir/authorized_keys"
  echo "[127.0.0.1]:$port $(cat "$dir/host_key.pub")" >"$dir/known_hosts"
  cat >"$dir/sshd_config" <<EOF
Port $port
ListenAddress 127.0.0.1
HostKey $dir/host_key
AuthorizedKeysFile $dir/authorized_keys
PidFile $dir/sshd.pid
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
MaxStartups 64
MaxSessions 64
EOF
  ssh_config="$dir/ssh_config"
  cat >"$ssh_config" <<EOF
Host check-node host1 host2
  HostName 127.0.0.1
  Port $port
  IdentityFile $dir/client_key
  IdentitiesOnly yes
  UserKnownHostsFile $dir/known_hosts
  StrictHostKeyChecking yes
  BatchMode yes
EOF
  # sshd wants its privilege-separation folder, which Debian's own sshd
  # service makes at start. It stays, empty, after the check: another sshd
  # started meanwhile (a second check) may need it.
  [ -d /run/sshd ] || mkdir -m 755 /run/sshd
  start_daemon /usr/sbin/sshd -D -e -f "$dir/sshd_config" -E "$dir/sshd.log"
  wait_for "ssh -F '$ssh_config' check-node true" 10
}

# Pids of the daemons and of every process that carries this run's mark.
run_pids() {
  grep -lzx "KOLVANE_CHECK_RUN=$scratch" /proc/[0-9]*/environ 2>/dev/null |
    sed -e 's|^/proc/||' -e 's|/environ$||'
  local pid
  for pid in "${daemon_pids[@]}"; do
    [ -d "/proc/$pid" ] && echo "$pid"
  done
  return 0
}

# Runs "$@" marked as this run's, in the background, and waits for it: a
# foreground command would hold Ctrl+C back from the traps until it ended,
# and GNU parallel, which handles SIGINT itself, would leave the check going.
step() {
  KOLVANE_CHECK_RUN="$scratch" "$@" &
  wait "$!"
}

# Cancels the jobs, stops the daemons and whatever they started, and removes
# the scratch folder (kept for its logs when the check failed, or when
# KOLVANE_CHECK_KEEP=1).
teardown() {
  local status=$? pids=()
  trap - EXIT INT TERM
  set +e
  # A signal may come while a step's output is redirected to a file.
  exec 1>&3 2>&4
  [ -n "${SLURM_CONF:-}" ] && timeout 5 scancel --quiet --full --partition=check 2>/dev/null
  # TERM lets slurmctld save its state and sshd close its sessions; what
  # still stands after 5 s is killed.
  mapfile -t pids < <(run_pids)
  [ "${#pids[@]}" -gt 0 ] && kill "${pids[@]}" 2>/dev/null
  for _ in $(seq 50); do
    mapfile -t pids < <(run_pids)
    [ "${#pids[@]}" -eq 0 ] && break
    sleep 0.1
  done
  [ "${#pids[@]}" -gt 0 ] && kill -KILL "${pids[@]}" 2>/dev/null
  wait 2>/dev/null
  [ "${reported:-0}" = 1 ] && printf '%-28s %s\n' "torn down, in all" "$(since "$started")"
  case "$status,${KOLVANE_CHECK_KEEP:-0}" in
    0,0 | 130,0 | 143,0) rm -rf "$scratch" ;;
    *) echo "cluster-check: logs kept in $scratch" >&2 ;;
  esac
  exit "$status"
}

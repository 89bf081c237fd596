#!/bin/sh
# Runs a command inside a Debian root made by scripts/fresh-root.sh, as the
# real root user (packages install there as on a machine of its own).
# Started as the first process of new mount, PID, IPC and UTS namespaces:
#
#   unshare --mount --propagation private --pid --ipc --uts --fork --kill-child \
#     sh scripts/root-namespace.sh BASE RUN_DIR COMMAND...
#
# The root is the base (never written) with RUN_DIR/upper over it. It is
# entered with pivot_root, not chroot: inside a chroot the kernel refuses
# the new user namespaces the emulated lanes need. Every mount made here
# belongs to this mount namespace and every process to this PID namespace,
# so both end with the command and the host keeps nothing of them.
set -eu
# Everything below acts on the namespaces that run it: started any other
# way it would mount on the host, rename it and pivot its root. /proc is
# still the starter's here, so its process 1 is outside ours.
if [ "$$" -ne 1 ] || [ "$(readlink /proc/self/ns/mnt)" = "$(readlink /proc/1/ns/mnt)" ] ||
  [ "$(readlink /proc/self/ns/uts)" = "$(readlink /proc/1/ns/uts)" ]; then
  echo "root-namespace.sh: not the first process of a PID namespace of its own with its own mount and UTS namespaces; refused (started by scripts/fresh-root.sh)" >&2
  exit 2
fi
base=$1 run=$2
shift 2
root=$run/root
mkdir -p "$run/upper" "$run/work" "$root"
mount -t overlay overlay -o "lowerdir=$base,upperdir=$run/upper,workdir=$run/work" "$root"
mount -t proc proc "$root/proc"
# The host's kernel objects, to read only.
mount -t sysfs -o ro,nosuid,nodev,noexec sysfs "$root/sys"
# A /dev of its own: the plain devices, a pty instance and shared memory
# of this root's alone.
mount -t tmpfs -o mode=755,nosuid dev "$root/dev"
for node in null zero full random urandom tty; do
  : >"$root/dev/$node"
  mount --bind "/dev/$node" "$root/dev/$node"
done
mkdir "$root/dev/pts" "$root/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts "$root/dev/pts"
mount -t tmpfs -o mode=1777,nosuid,nodev shm "$root/dev/shm"
ln -s pts/ptmx "$root/dev/ptmx"
ln -s /proc/self/fd "$root/dev/fd"
ln -s /proc/self/fd/0 "$root/dev/stdin"
ln -s /proc/self/fd/1 "$root/dev/stdout"
ln -s /proc/self/fd/2 "$root/dev/stderr"
# The host's name servers. The root's own file may be a link to a path of
# the host's: replaced, never written through.
rm -f "$root/etc/resolv.conf"
cp /etc/resolv.conf "$root/etc/resolv.conf"
hostname "fresh-$(basename "$base" | cut -d- -f1)"

cd "$root"
mkdir -p .host
pivot_root . .host
cd /
umount -l /.host
rmdir /.host
# A child, not exec: the first process of a PID namespace ignores the
# signals it has no handler for. The environment is a new machine's, with
# the setup's consent to downgrades where the caller gave it.
status=0
env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  LANG=C.UTF-8 TERM="${TERM:-dumb}" ${SETUP_ALLOW_DOWNGRADES:+SETUP_ALLOW_DOWNGRADES="$SETUP_ALLOW_DOWNGRADES"} \
  sh -c 'cd /root/clone && exec "$@"' sh "$@" || status=$?
exit "$status"

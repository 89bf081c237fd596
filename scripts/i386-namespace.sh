#!/bin/sh
# Runs a command with 32-bit x86 programs sent to QEMU's user-mode emulator,
# for a kernel that refuses to run them itself. Started by scripts/lanes.sh
# as the first process of a new user, mount and PID namespace:
#
#   unshare --user --map-root-user --mount --pid --fork --kill-child \
#     sh scripts/i386-namespace.sh EMULATOR COMMAND...
#
# The binfmt_misc instance mounted here belongs to this user namespace
# (Linux 6.7 and later), so nothing is registered on the host, and every
# process started inside ends when this one does.
set -eu
emulator=$1
shift
mount -t proc proc /proc
mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
# An i386 ELF executable or shared object; masked as in QEMU's own
# qemu-binfmt-conf.sh. The kernel reads the \x escapes itself. P keeps the
# program's argv[0]; F opens the emulator now, from outside any prefix.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
printf '%s' ":qemu-i386:M::$magic:$mask:$emulator:PF" >/proc/sys/fs/binfmt_misc/register
# A child, not exec: the first process of a PID namespace ignores the
# signals it has no handler for, so a command run as that process could not
# be ended by a crash or a kill.
status=0
"$@" || status=$?
exit "$status"

#!/bin/sh
# A file system too small for a large plug-in, for the full-disk test:
#   small_disk.sh mount|unmount FOLDER
# Where this machine lets no one mount one, FOLDER stays an ordinary folder
# and the test says it is skipped.
set -u
folder=$2
case $1 in
  mount)
    mkdir -p "$folder"
    if mountpoint -q "$folder"; then umount "$folder"; fi
    if ! mount -t tmpfs -o size=256k,mode=0777 marlo-small-disk "$folder" 2>/dev/null; then
      echo "small_disk.sh: no file system can be mounted here; the full-disk test is skipped"
    fi
    ;;
  unmount)
    if mountpoint -q "$folder"; then umount "$folder"; fi
    ;;
esac
exit 0

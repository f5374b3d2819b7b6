#!/usr/bin/env bash
# The tests' small drive: a tmpfs of 64 MiB mounted in the harness's Wine prefix as drive S:,
# where a test can make the disk full, or nearly, without touching any real drive.
#   small_drive.sh start|stop PREFIX
# Mounting needs root (the harness runs as root); without it, start fails and says so.
set -euo pipefail
action=${1:?usage: small_drive.sh start|stop PREFIX}
prefix=${2:?usage: small_drive.sh start|stop PREFIX}
[ -e "$prefix/.lexmora-test-prefix" ] || { echo "small_drive.sh: $prefix is no harness prefix" >&2; exit 1; }
mountpoint=$prefix/small-drive

case $action in
  start)
    mkdir -p "$mountpoint"
    if ! mountpoint -q "$mountpoint"; then
      mount -t tmpfs -o size=64m,mode=0755 lexmora-small-drive "$mountpoint" || {
        echo "small_drive.sh: cannot mount a tmpfs at $mountpoint (the disk-full tests need root)" >&2
        exit 1
      }
    fi
    find "$mountpoint" -mindepth 1 -delete
    ln -sfn ../small-drive "$prefix/dosdevices/s:"
    ;;
  stop)
    rm -f "$prefix/dosdevices/s:"
    if mountpoint -q "$mountpoint"; then umount "$mountpoint"; fi
    rmdir "$mountpoint" 2>/dev/null || true
    ;;
  *) echo "usage: small_drive.sh start|stop PREFIX" >&2; exit 2 ;;
esac

#!/usr/bin/env bash
# The Linux half of the round trip: a container that the Windows client
# created and formatted under Wine is served by nbdkit with our plugin,
# nbdfuse shows it as a disk, ntfs-3g mounts it and a file is written, then
# read back after a remount. The container and its key file are left in
# OUT for the Windows half, which logs in with them again.
#   linux-roundtrip.sh NBDKIT PLUGIN CONTAINER KEY_FILE PASSWORD OUT
# Exit 77 (skipped) where the machine has no /dev/fuse or the Linux build's
# plugin is missing.
set -euo pipefail

nbdkit=$1 plugin=$2 container=$3 key_file=$4 password=$5 out=$6
readonly text="written on Linux through ntfs-3g, for the Windows log-in"

# Nothing from an earlier run may stand in for this one's result.
rm -rf "$out"

if [[ ! -c /dev/fuse ]]; then
  echo "SKIPPED: this machine has no /dev/fuse, so nbdfuse and ntfs-3g cannot run here"
  exit 77
fi
if [[ ! -f $plugin ]]; then
  echo "SKIPPED: the Linux build's nbdkit plugin is not built ($plugin)"
  exit 77
fi
for program in "$nbdkit" nbdfuse ntfs-3g ntfslabel fusermount3; do
  command -v "$program" >/dev/null || { echo "FAILED: $program is not installed"; exit 1; }
done

# ntfs-3g ends a moment after its umount returns and keeps the disk busy until
# then, so unmounting the disk below it may need a few tries.
retry() {
  for _ in $(seq 50); do
    "$@" 2>/dev/null && return 0
    sleep 0.2
  done
  "$@"
}

work=$(mktemp -d "${TMPDIR:-/tmp}/cryptelle-roundtrip-XXXXXX")
nbdfuse_pid=
cleanup() {
  mountpoint -q "$work/mnt" && umount "$work/mnt"
  mountpoint -q "$work/fuse" && retry fusermount3 -u "$work/fuse"
  [[ -n $nbdfuse_pid ]] && wait "$nbdfuse_pid" 2>/dev/null
  [[ -f $work/nbdkit.pid ]] && kill "$(cat "$work/nbdkit.pid")" 2>/dev/null
  sleep 0.2
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$out"
cp --sparse=always "$container" "$out/"
cp "$key_file" "$out/"
served=$out/$(basename "$container")
cd "$work"
mkdir fuse mnt
printf '%s' "$password" > password

"$nbdkit" -U nbd.sock -P nbdkit.pid --filter=blocksize "$plugin" minblock=512 \
  key-file="$out/$(basename "$key_file")" container="$served" password=+password
nbdfuse -P nbdfuse.pid fuse/disk --unix nbd.sock &
nbdfuse_pid=$!
for _ in $(seq 300); do [[ -s nbdfuse.pid ]] && break; sleep 0.1; done
[[ -f fuse/disk ]] || { echo "FAILED: nbdfuse did not show the disk"; exit 1; }

label=$(ntfslabel fuse/disk 2>/dev/null || true)
[[ $label == Cryptelle ]] || { echo "FAILED: the served disk is not the client's NTFS (label '$label')"; exit 1; }
ntfs-3g fuse/disk mnt
echo "$text" > mnt/from-linux.txt
umount mnt
retry ntfs-3g fuse/disk mnt
[[ $(cat mnt/from-linux.txt) == "$text" ]] || { echo "FAILED: from-linux.txt reads back wrong"; exit 1; }
umount mnt
retry fusermount3 -u fuse
wait "$nbdfuse_pid"
nbdfuse_pid=
kill "$(cat nbdkit.pid)"
for _ in $(seq 100); do kill -0 "$(cat nbdkit.pid)" 2>/dev/null || break; sleep 0.1; done
rm -f nbdkit.pid
echo "PASSED: the Windows-made container served on Linux, a file written and read back through ntfs-3g"

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

nbdkit=$1 plugin=$(realpath -m "$2") container=$(realpath -m "$3") key_file=$(realpath -m "$4")
password=$5 out=$(realpath -m "$6")
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

work=$(mktemp -d "${TMPDIR:-/tmp}/cryptelle-roundtrip-XXXXXX")
# shellcheck source=../../support/nbd-fuse.sh
source "$(dirname "$0")/../../support/nbd-fuse.sh"
trap nbd_fuse_cleanup EXIT

mkdir -p "$out"
cp --sparse=always "$container" "$out/"
cp "$key_file" "$out/"
served=$out/$(basename "$container")
cd "$work"
printf '%s' "$password" > password
nbd_fuse_start "$nbdkit" "$plugin" \
  key-file="$out/$(basename "$key_file")" container="$served" password=+password

label=$(ntfslabel fuse/disk 2>/dev/null || true)
[[ $label == Cryptelle ]] || { echo "FAILED: the served disk is not the client's NTFS (label '$label')"; exit 1; }
ntfs-3g fuse/disk mnt
echo "$text" > mnt/from-linux.txt
umount mnt
retry ntfs-3g fuse/disk mnt
[[ $(cat mnt/from-linux.txt) == "$text" ]] || { echo "FAILED: from-linux.txt reads back wrong"; exit 1; }
umount mnt
nbd_fuse_stop
echo "PASSED: the Windows-made container served on Linux, a file written and read back through ntfs-3g"

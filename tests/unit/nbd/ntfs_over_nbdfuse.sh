#!/usr/bin/env bash
# A served container used as a real disk: nbdfuse shows the plain disk as a
# file, mkntfs formats it, ntfs-3g mounts it, and files are made, read back
# after a remount and deleted. The export then shows the same file system.
#   ntfs_over_nbdfuse.sh NBDKIT PLUGIN CRYPTELLE_TOOL [PRELOAD]
# Exit 77 (skipped) only where the machine has no /dev/fuse.
set -euo pipefail

nbdkit=$1 plugin=$2 tool=$3 preload=${4:-}

if [[ ! -c /dev/fuse ]]; then
  echo "SKIPPED: this machine has no /dev/fuse, so nbdfuse and ntfs-3g cannot run here"
  exit 77
fi
for program in nbdfuse mkntfs ntfs-3g ntfscat ntfsls fusermount3; do
  command -v "$program" >/dev/null || { echo "FAILED: $program is not installed"; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/cryptelle-ntfs-XXXXXX")
# shellcheck source=../../support/nbd-fuse.sh
source "$(dirname "$0")/../../support/nbd-fuse.sh"
trap nbd_fuse_cleanup EXIT
cd "$work"

printf 'ntfs test \xc3\xa9\n' > password

# One user's round: NAME, the container's file size, new-user's options.
ntfs_round() {
  local name=$1 size=$2
  shift 2
  "$tool" new-user --key-file "$name.user" --storage-path "c:\\cryptelle\\$name.cryptdsk" "$@" < password
  truncate -s "$size" "$name.cryptdsk"
  rm -f nbd.sock nbdfuse.pid  # left by an earlier round

  PRELOAD=$preload nbd_fuse_start "$nbdkit" "$plugin" \
    key-file="$name.user" container="$name.cryptdsk" password=+password

  mkntfs -F -f -q -L Cryptelle fuse/disk 2>/dev/null
  ntfs-3g fuse/disk mnt
  echo "written on Linux" > mnt/hello.txt
  mkdir mnt/folder
  head -c 3000000 /dev/urandom > random.bin
  cp random.bin mnt/folder/random.bin
  umount mnt

  retry ntfs-3g fuse/disk mnt
  [[ $(cat mnt/hello.txt) == "written on Linux" ]] || { echo "FAILED: $name: hello.txt reads back wrong"; exit 1; }
  cmp random.bin mnt/folder/random.bin
  rm mnt/folder/random.bin
  echo "kept" > mnt/kept.txt
  umount mnt
  nbd_fuse_stop

  # The container, exported, holds the same file system.
  "$tool" export --key-file "$name.user" --container "$name.cryptdsk" --out "$name.img" < password
  local root listing
  root=$(ntfsls -f -p / "$name.img")
  [[ $root == *hello.txt* && $root == *folder* ]] || { echo "FAILED: $name: export lists: $root"; exit 1; }
  listing=$(ntfsls -f -p /folder "$name.img")
  [[ $listing != *random.bin* ]] || { echo "FAILED: $name: the deleted file is still listed: $listing"; exit 1; }
  [[ $(ntfscat -f "$name.img" /kept.txt) == "kept" ]] || { echo "FAILED: $name: kept.txt not in the export"; exit 1; }
  [[ $(ntfscat -f "$name.img" /hello.txt) == "written on Linux" ]] || { echo "FAILED: $name: hello.txt not in the export"; exit 1; }
  # The boot sector is stored encrypted: no NTFS signature in the container.
  if head -c 16 "$name.cryptdsk" | grep -q NTFS; then echo "FAILED: $name: the head is stored plain"; exit 1; fi
}

ntfs_round alice 64M
# A whole-disk user (at a test's Argon2id cost): the disk is the file less
# its 4096-byte backup area, and no file's text is stored plain.
ntfs_round bob $(( (64 << 20) + 4096 )) --whole-disk --kdf-memory 64 --kdf-passes 1
[[ $(stat -c %s bob.img) == $(( 64 << 20 )) ]] || { echo "FAILED: bob: the disk is not 64 MiB"; exit 1; }
if grep -q "written on Linux" bob.cryptdsk; then echo "FAILED: bob: a file is stored plain"; exit 1; fi
echo "PASSED: NTFS made, written, read and cleaned through nbdfuse and ntfs-3g, in both generations"

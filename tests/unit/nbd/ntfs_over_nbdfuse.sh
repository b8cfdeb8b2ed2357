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

# ntfs-3g ends a moment after its umount returns and keeps the disk busy until
# then, so unmounting the disk below it may need a few tries.
retry() {
  for _ in $(seq 50); do
    "$@" 2>/dev/null && return 0
    sleep 0.2
  done
  "$@"
}

work=$(mktemp -d "${TMPDIR:-/tmp}/cryptelle-ntfs-XXXXXX")
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
cd "$work"
mkdir fuse mnt

printf 'ntfs test \xc3\xa9\n' > password
"$tool" new-user --key-file alice.user --storage-path 'c:\cryptelle\alice.cryptdsk' < password
truncate -s 64M alice.cryptdsk

# The plugin refuses unaligned requests as the driver does; the blocksize
# filter turns the byte-granular requests of a file into whole sectors.
env ${preload:+LD_PRELOAD=$preload ASAN_OPTIONS=detect_leaks=0} \
  "$nbdkit" -U nbd.sock -P nbdkit.pid --filter=blocksize "$plugin" minblock=512 \
  key-file=alice.user container=alice.cryptdsk password=+password
nbdfuse -P nbdfuse.pid fuse/disk --unix nbd.sock &
nbdfuse_pid=$!
for _ in $(seq 300); do [[ -s nbdfuse.pid ]] && break; sleep 0.1; done
[[ -f fuse/disk ]] || { echo "FAILED: nbdfuse did not show the disk"; exit 1; }

mkntfs -F -f -q -L Cryptelle fuse/disk 2>/dev/null
ntfs-3g fuse/disk mnt
echo "written on Linux" > mnt/hello.txt
mkdir mnt/folder
head -c 3000000 /dev/urandom > random.bin
cp random.bin mnt/folder/random.bin
umount mnt

retry ntfs-3g fuse/disk mnt
[[ $(cat mnt/hello.txt) == "written on Linux" ]] || { echo "FAILED: hello.txt reads back wrong"; exit 1; }
cmp random.bin mnt/folder/random.bin
rm mnt/folder/random.bin
echo "kept" > mnt/kept.txt
umount mnt
retry fusermount3 -u fuse
wait "$nbdfuse_pid"
nbdfuse_pid=
kill "$(cat nbdkit.pid)"
for _ in $(seq 100); do kill -0 "$(cat nbdkit.pid)" 2>/dev/null || break; sleep 0.1; done
rm -f nbdkit.pid

# The container, exported, holds the same file system.
"$tool" export --key-file alice.user --container alice.cryptdsk --out plain.img < password
root=$(ntfsls -f -p / plain.img)
[[ $root == *hello.txt* && $root == *folder* ]] || { echo "FAILED: export lists: $root"; exit 1; }
listing=$(ntfsls -f -p /folder plain.img)
[[ $listing != *random.bin* ]] || { echo "FAILED: the deleted file is still listed: $listing"; exit 1; }
[[ $(ntfscat -f plain.img /kept.txt) == "kept" ]] || { echo "FAILED: kept.txt not in the export"; exit 1; }
[[ $(ntfscat -f plain.img /hello.txt) == "written on Linux" ]] || { echo "FAILED: hello.txt not in the export"; exit 1; }
# The boot sector is stored encrypted: no NTFS signature in the container.
if head -c 16 alice.cryptdsk | grep -q NTFS; then echo "FAILED: the head is stored plain"; exit 1; fi
echo "PASSED: NTFS made, written, read and cleaned through nbdfuse and ntfs-3g"

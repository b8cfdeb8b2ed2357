#!/usr/bin/env bash
# Reads from Linux containers that Wine tests created through the driver and
# formatted through the fmifs.dll stand-in, and checks what the driver
# stored:
#   - every byte from sector 4 on is stored exactly as the file system wrote
#     it (the mkntfs image of the container's size, which the stand-in
#     wrote);
#   - the first 2048 bytes are not stored as written, and cryptelle-tool
#     export, which decrypts them with the user's disk key, gives back the
#     whole image;
#   - ntfs-3g's tools read the plain disk as NTFS, label "Cryptelle",
#     4096-byte clusters, with the system files of a new volume.
#
#   check-containers.sh TOOL IMAGES CONTAINER KEY-FILE PASSWORD [CONTAINER KEY-FILE PASSWORD]...
#
# TOOL is the Linux build's cryptelle-tool; IMAGES the folder of the mkntfs
# images, named <bytes>.img (testbed-setup.sh copies them there when
# CRYPTELLE_NTFS_IMAGE_COPIES names it). Exit status 0 all checks passed,
# 1 a check failed, 2 bad arguments, 77 skipped (no Linux cryptelle-tool or
# no ntfs-3g tools).
set -uo pipefail

usage="usage: check-containers.sh TOOL IMAGES CONTAINER KEY-FILE PASSWORD..."
[[ $# -ge 5 && $((($# - 2) % 3)) -eq 0 ]] || { echo "$usage" >&2; exit 2; }
tool=$1
images=$2
shift 2

if [[ ! -x $tool ]]; then
  echo "SKIPPED: no Linux cryptelle-tool at $tool (build the linux preset first)"
  exit 77
fi
for program in ntfsinfo ntfsls cmp; do
  if ! command -v "$program" >/dev/null; then
    echo "SKIPPED: $program is not installed (ntfs-3g, diffutils)"
    exit 77
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/cryptelle-check.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

check_container() {
  local container=$1 key_file=$2 password=$3
  local name
  name=$(basename "$container")
  echo "--- $name"
  [[ -f $container ]] || { fail "no container $container"; return; }
  [[ -f $key_file ]] || { fail "no key file $key_file"; return; }
  local bytes
  bytes=$(stat -c %s "$container")
  local image=$images/$bytes.img
  local plain=$work/plain.img
  [[ -f $image ]] || { fail "$name: no mkntfs image $image for its size"; return; }

  cmp --quiet --ignore-initial=2048 "$container" "$image" ||
    fail "$name: sectors from 4 on are not stored as the file system wrote them"
  cmp --quiet --bytes=2048 "$container" "$image" &&
    fail "$name: sectors 0 to 3 are stored as written, not encrypted"

  if ! printf '%s\n' "$password" |
      "$tool" export --key-file "$key_file" --container "$container" --out "$plain"; then
    fail "$name: cryptelle-tool export failed"
    return
  fi
  cmp --quiet "$plain" "$image" ||
    fail "$name: the decrypted disk differs from what the file system wrote"

  local info
  info=$(ntfsinfo --mft "$plain" 2>&1) || { fail "$name: ntfsinfo cannot read the disk"; return; }
  grep -qx $'\tVolume Name: Cryptelle' <<<"$info" || fail "$name: the label is not Cryptelle"
  grep -qx $'\tCluster Size: 4096' <<<"$info" || fail "$name: the cluster size is not 4096"
  local listing
  listing=$(ntfsls --all --system "$plain" 2>&1) || { fail "$name: ntfsls cannot list the root"; return; }
  for file in '$MFT' '$MFTMirr' '$LogFile' '$Volume' '$Bitmap' '$Boot'; do
    grep -qxF "$file" <<<"$listing" || fail "$name: the root has no $file"
  done
  echo "$bytes bytes;$(grep 'Volume Name\|Cluster Size' <<<"$info" | tr '\n\t' '; ')"
  rm -f "$plain"
}

while [[ $# -gt 0 ]]; do
  check_container "$1" "$2" "$3"
  shift 3
done
if [[ $failures -ne 0 ]]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "every container reads as NTFS from Linux"

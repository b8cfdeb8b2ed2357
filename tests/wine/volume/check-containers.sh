#!/usr/bin/env bash
# Reads from Linux the containers that volume_wine_tests created through the
# driver and formatted through the fmifs.dll stand-in, and checks what the
# driver stored:
#   - every byte from sector 4 on is stored exactly as the file system wrote
#     it (the mkntfs image that the stand-in wrote);
#   - the first 2048 bytes are not stored as written, and cryptelle-tool
#     export, which decrypts them with the user's disk key, gives back the
#     whole image;
#   - ntfs-3g's tools read the plain disk as NTFS, label "Cryptelle",
#     4096-byte clusters, with the system files of a new volume.
#
#   check-containers.sh FOLDER TOOL PASSWORD MEGABYTES...
#
# FOLDER is the hand-over folder (<MB>.cryptdsk, ann.user, ntfs/<bytes>.img),
# TOOL the Linux build's cryptelle-tool. Exit status 0 all checks passed,
# 1 a check failed, 77 skipped (no Linux tool or no ntfs-3g tools).
set -uo pipefail

[[ $# -ge 4 ]] || { echo "usage: check-containers.sh FOLDER TOOL PASSWORD MEGABYTES..." >&2; exit 2; }
folder=$1
tool=$2
password=$3
shift 3

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

work=$(mktemp -d "$folder/check.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

check_container() {
  local megabytes=$1
  local bytes=$((megabytes * 1048576))
  local container=$folder/$megabytes.cryptdsk
  local image=$folder/ntfs/$bytes.img
  local plain=$work/$megabytes.img
  echo "--- $megabytes MB container"
  [[ -f $container ]] || { fail "no container $container"; return; }
  [[ -f $image ]] || { fail "no mkntfs image $image"; return; }
  [[ $(stat -c %s "$container") == "$bytes" ]] || { fail "$container is not $bytes bytes"; return; }

  cmp --quiet --ignore-initial=2048 "$container" "$image" ||
    fail "$megabytes MB: sectors from 4 on are not stored as the file system wrote them"
  cmp --quiet --bytes=2048 "$container" "$image" &&
    fail "$megabytes MB: sectors 0 to 3 are stored as written, not encrypted"

  if ! printf '%s\n' "$password" |
      "$tool" export --key-file "$folder/ann.user" --container "$container" --out "$plain"; then
    fail "$megabytes MB: cryptelle-tool export failed"
    return
  fi
  cmp --quiet "$plain" "$image" ||
    fail "$megabytes MB: the decrypted disk differs from what the file system wrote"

  local info
  info=$(ntfsinfo --mft "$plain" 2>&1) || { fail "$megabytes MB: ntfsinfo cannot read the disk"; return; }
  grep -qx $'\tVolume Name: Cryptelle' <<<"$info" || fail "$megabytes MB: label is not Cryptelle"
  grep -qx $'\tCluster Size: 4096' <<<"$info" || fail "$megabytes MB: cluster size is not 4096"
  local listing
  listing=$(ntfsls --all --system "$plain" 2>&1) || { fail "$megabytes MB: ntfsls cannot list the root"; return; }
  for name in '$MFT' '$MFTMirr' '$LogFile' '$Volume' '$Bitmap' '$Boot'; do
    grep -qxF "$name" <<<"$listing" || fail "$megabytes MB: the root has no $name"
  done
  grep "Volume Name\|Cluster Size\|Volume Size in Clusters" <<<"$info"
  rm -f "$plain"
}

for megabytes in "$@"; do
  check_container "$megabytes"
done
if [[ $failures -ne 0 ]]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all containers read as NTFS from Linux"

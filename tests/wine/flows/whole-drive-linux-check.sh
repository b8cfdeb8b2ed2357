#!/usr/bin/env bash
# The Linux half of the whole-drive journey: the container that the Windows
# client created with the whole drive encrypted holds no plain NTFS bytes
# anywhere (no "NTFS    " OEM id at byte 3 of any sector, no "FILE0" MFT
# record, no "$MFT" in UTF-16, no TEXT the journey wrote on the drive), while
# cryptelle-tool export with the user's key file and password gives the
# NTFS disk, with all of these in it.
#   whole-drive-linux-check.sh TOOL CONTAINER KEY_FILE PASSWORD TEXT
# TOOL is the Linux build's cryptelle-tool. Exit 0 passed, 1 a check
# failed, 2 bad arguments, 77 skipped (no Linux cryptelle-tool).
set -uo pipefail

[[ $# -eq 5 ]] || { echo "usage: whole-drive-linux-check.sh TOOL CONTAINER KEY_FILE PASSWORD TEXT" >&2; exit 2; }
tool=$1 container=$2 key_file=$3 password=$4 text=$5

if [[ ! -x $tool ]]; then
  echo "SKIPPED: no Linux cryptelle-tool at $tool (build the linux preset first)"
  exit 77
fi
[[ -f $container && -f $key_file ]] || { echo "FAILED: no container or key file from the journey"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/cryptelle-whole-drive.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# Byte offsets of a pattern in a file, one a line: Perl-style, or with
# --fixed-strings first a plain text.
offsets() {
  local kind=--perl-regexp
  [[ $1 == --fixed-strings ]] && { kind=$1; shift; }
  LC_ALL=C grep --only-matching --byte-offset --binary --text "$kind" -- "$1" "$2" | cut -d: -f1
}
# The NTFS marks in a file: "oem" for each sector whose bytes 3 to 10 are
# the OEM id, then "record" and "mft-name" when those occur.
ntfs_marks() {
  offsets 'NTFS    ' "$1" | while read -r at; do ((at % 512 == 3)) && echo oem; done
  offsets 'FILE0' "$1" | head -n1 | sed 's/.*/record/'
  offsets '\$\x00M\x00F\x00T\x00' "$1" | head -n1 | sed 's/.*/mft-name/'
}

bytes=$(stat -c %s "$container")
(((bytes - 4096) % 512 == 0 && bytes > 4096)) || fail "the container's $bytes bytes are no disk and backup area"

stored=$(ntfs_marks "$container" | sort -u | tr '\n' ' ')
[[ -z $stored ]] || fail "the container holds plain NTFS bytes: $stored"
[[ -z $(offsets --fixed-strings "$text" "$container") ]] || fail "the container holds the written text in plain"

plain=$work/plain.img
if printf '%s\n' "$password" |
    "$tool" export --key-file "$key_file" --container "$container" --out "$plain"; then
  [[ $(stat -c %s "$plain") -eq $((bytes - 4096)) ]] || fail "the export is not the disk's size"
  [[ $(dd if="$plain" bs=1 skip=3 count=8 status=none) == "NTFS    " ]] ||
    fail "sector 0 of the export has no NTFS OEM id"
  # The same search finds them all in the plain disk.
  exported=$(ntfs_marks "$plain" | sort -u | tr '\n' ' ')
  [[ $exported == "mft-name oem record " ]] || fail "the export lacks NTFS marks (found: $exported)"
  [[ -n $(offsets --fixed-strings "$text" "$plain") ]] || fail "the export lacks the written text"
else
  fail "cryptelle-tool export failed"
fi

if [[ $failures -ne 0 ]]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "PASSED: the whole-drive container shows no NTFS bytes; its export is the NTFS disk"

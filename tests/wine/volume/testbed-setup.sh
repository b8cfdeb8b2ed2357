# Sourced by wine-run inside the run (WINEPREFIX set). Prepares the prefix as
# the volume tests need it:
#   - the driver package where setup would put it (the test program installs
#     the driver itself, in its own wine session);
#   - the stand-in fmifs.dll in system32 (Wine has none);
#   - NTFS images made by mkntfs for each container size the tests use;
#   - copies of those images, when a folder is named for them, for the
#     Linux-side check of the containers (check-containers.sh).
#   CRYPTDSK_PACKAGE_DIR     folder holding cryptdsk.sys and cryptdsk.inf;
#                            empty when setup itself installs the driver
#   CRYPTELLE_FMIFS_STANDIN  the stand-in fmifs.dll; empty when it is in
#                            place already (and may be in use)
#   CRYPTELLE_NTFS_SIZES_MB  container sizes in MB, separated by blanks
#   CRYPTELLE_NTFS_IMAGE_COPIES  optional: a folder for copies of the images;
#                                its earlier images are removed
if [[ -n ${CRYPTDSK_PACKAGE_DIR:-} ]]; then
  cryptdsk_drivers=$WINEPREFIX/drive_c/windows/system32/drivers
  mkdir -p "$cryptdsk_drivers" "$WINEPREFIX/drive_c/cryptdsk-package"
  cp "$CRYPTDSK_PACKAGE_DIR/cryptdsk.sys" "$cryptdsk_drivers/cryptdsk.sys"
  cp "$CRYPTDSK_PACKAGE_DIR/cryptdsk.inf" "$WINEPREFIX/drive_c/cryptdsk-package/cryptdsk.inf"
fi
if [[ -n ${CRYPTELLE_FMIFS_STANDIN:-} ]]; then
  cp "$CRYPTELLE_FMIFS_STANDIN" "$WINEPREFIX/drive_c/windows/system32/fmifs.dll"
fi
ntfs_images=$WINEPREFIX/drive_c/cryptelle-testbed/ntfs
mkdir -p "$ntfs_images"
for megabytes in $CRYPTELLE_NTFS_SIZES_MB; do
  image=$ntfs_images/$((megabytes * 1048576)).img
  truncate -s "$((megabytes * 1048576))" "$image"
  # mkntfs remarks on stderr that a file is no block device: shown only when
  # it fails.
  if ! mkntfs_output=$(/sbin/mkntfs --force --quiet --quick --cluster-size 4096 \
      --label Cryptelle --partition-start 0 --heads 255 --sectors-per-track 63 "$image" 2>&1); then
    echo "$mkntfs_output" >&2
    exit 1
  fi
done
if [[ -n ${CRYPTELLE_NTFS_IMAGE_COPIES:-} ]]; then
  mkdir -p "$CRYPTELLE_NTFS_IMAGE_COPIES"
  rm -f "$CRYPTELLE_NTFS_IMAGE_COPIES"/*.img
  cp --sparse=always "$ntfs_images"/*.img "$CRYPTELLE_NTFS_IMAGE_COPIES/"
fi

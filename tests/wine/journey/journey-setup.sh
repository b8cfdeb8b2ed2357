# Sourced by wine-run inside the run (WINEPREFIX set): the built package in
# C:\CryptellePackage, and the volume test bed's stand-ins (fmifs.dll and the
# NTFS image) — but not the driver, which setup itself installs.
#   CRYPTELLE_PACKAGE_SOURCE  the built package folder (dist/win64)
mkdir -p "$WINEPREFIX/drive_c/CryptellePackage"
cp -r "$CRYPTELLE_PACKAGE_SOURCE"/* "$WINEPREFIX/drive_c/CryptellePackage/"
CRYPTDSK_PACKAGE_DIR= source "$(dirname "${BASH_SOURCE[0]}")/../volume/testbed-setup.sh"

# Sourced by wine-run inside the run (WINEPREFIX set): puts the driver
# package where setup would, so that the test program installs it with the
# setup library in its own wine session.
#   CRYPTDSK_PACKAGE_DIR  folder holding cryptdsk.sys and cryptdsk.inf
cryptdsk_drivers=$WINEPREFIX/drive_c/windows/system32/drivers
mkdir -p "$cryptdsk_drivers" "$WINEPREFIX/drive_c/cryptdsk-package"
cp "$CRYPTDSK_PACKAGE_DIR/cryptdsk.sys" "$cryptdsk_drivers/cryptdsk.sys"
cp "$CRYPTDSK_PACKAGE_DIR/cryptdsk.inf" "$WINEPREFIX/drive_c/cryptdsk-package/cryptdsk.inf"

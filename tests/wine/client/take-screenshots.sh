#!/usr/bin/env bash
# Refreshes docs/screens/*.png: runs the client journeys under Wine and Xvfb
# with a screenshot folder, then converts the captures to PNG.
#   take-screenshots.sh BUILD_DIR      (a configured and built win64 tree)
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "$1" && pwd)
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
CRYPTELLE_SCREENSHOT_DIR=$shots CRYPTELLE_WINE_ROOT=$build/wine \
  CRYPTDSK_PACKAGE_DIR=$build/driver/kernel \
  "$root/tools/wine/wine-run" --display --setup "$root/tests/wine/driver/install-driver.sh" -- \
  "$build/tests/wine/client/client_journeys_test.exe" --gtest_filter=-*WithoutTheDriver*
mkdir -p "$root/docs/screens"
for capture in "$shots"/*.bmp; do
  /usr/bin/convert "$capture" "$root/docs/screens/$(basename "$capture" .bmp).png"
done

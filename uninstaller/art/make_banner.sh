#!/usr/bin/env bash
# Draws the uninstaller's picture (500x380, 24 bits): banner, the three
# introduction lines and the five step names, each on the line of its status
# label. Usage: make_banner.sh OUTPUT.bmp
set -euo pipefail
out=$1
source "$(dirname "$0")/../../cmake/draw-banner.sh"

# Step rows start at these pixel heights; the dialog's labels sit on them.
rows=(190 220 250 280 310)
steps=("Removing Drivers" "Deleting Program files" "Removing Program Sub-Folders"
       "Removing Windows Registry Entries" "Removing Program links and shortcuts")

start_picture 'Uninstaller'
args+=(-fill '#1F3B5C' -font "$bold" -pointsize 15 -annotate +24+112 'Thank you for using Cryptelle'
      -fill black -font "$font" -pointsize 12
      -annotate +24+136 'This wil uninstall Cryptelle program from your computer'
      -font "$bold" -annotate +24+172 'Uninstallation Includes')
for i in "${!steps[@]}"; do
  y=$((rows[i] + 12))
  args+=(-fill '#3A6EA5' -draw "circle 34,$((rows[i] + 7)) 37,$((rows[i] + 7))"
         -fill black -font "$font" -pointsize 12 -annotate "+46+$y" "${steps[i]}")
done
args+=(-fill '#D0D7DF' -draw 'line 20,335 480,335')
save_picture "$out"

#!/usr/bin/env bash
# Draws the setup dialog's background (500x380, 24 bits): the banner and the
# labels of the fields, each on the row of the control it names. One dialog
# unit is 1.5 pixels across and 1.625 down in the dialog's 8-point font.
# Usage: make_background.sh OUTPUT.bmp
set -euo pipefail
out=$1
source "$(dirname "$0")/../../../cmake/draw-banner.sh"

start_picture 'Setup Program'
args+=(-fill '#1F3B5C' -font "$bold" -pointsize 12 -annotate +24+111 'To Change Installation Path Select'
      -fill black -font "$bold" -pointsize 12
      -annotate +24+152 'Installation Path'
      -annotate +24+184 'Installation Folder'
      -annotate +24+217 'Shortcut Name'
      -fill '#5A6B7D' -font "$font" -pointsize 10
      -annotate +181+238 'The desktop shortcut has this name.'
      -fill '#1F3B5C' -font "$bold" -pointsize 12 -annotate +24+278 'Installation Status'
      -fill none -stroke '#C9D8EA' -draw 'rectangle 20,282 480,306' -stroke none
      -fill '#D0D7DF' -draw 'line 20,335 480,335')
save_picture "$out"

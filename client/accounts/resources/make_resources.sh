#!/usr/bin/env bash
# Builds the client's dialog backgrounds and icons from the screen texts in
# screens/ and writes them to OUTDIR. Run by the build; needs ImageMagick's
# /usr/bin/convert and the DejaVu fonts.
#
#   make_resources.sh SCREENS_DIR OUTDIR
#
# Labels leave room for wider dialog fonts than the default one, which move
# the fields to the left of where a dialog unit of 1.5 px puts them.
#
# A screen file holds one drawing per line (coordinates in pixels of the
# 500x380 image; a dialog unit is 1.5 px across and 1.625 px down):
#   heading TEXT               the banner's heading
#   para X Y WIDTH TEXT        wrapped body text ("\n" starts a new line)
#   label RIGHT Y TEXT         a field label ending at x=RIGHT
#   text X Y TEXT              one line starting at x=X
#   strong X Y TEXT            one line in bold
#   rule Y                     a thin separator across the body
#   depth 32                   write a 32-bit image (default 24)
set -euo pipefail

screens=$1
out=$2
convert=/usr/bin/convert
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
[[ -f $font && -f $bold ]] || { echo "make_resources: DejaVu fonts missing (fonts-dejavu-core)" >&2; exit 1; }
mkdir -p "$out"

banner=#1f3a5f
accent=#e8b923
ink=#1e1e1e
body=#f4f6f9

render_screen() {
  local source=$1 target=$2
  local depth=24
  local -a draw=()
  local keyword rest x y width right text
  while IFS= read -r line || [[ -n $line ]]; do
    [[ -z $line || $line == \#* ]] && continue
    keyword=${line%% *}
    rest=${line#* }
    case $keyword in
      heading)
        draw+=(-font "$bold" -pointsize 20 -fill white -annotate +78+22 "$rest") ;;
      para)
        read -r x y width text <<<"$rest"
        text=${text//\\n/$'\n'}
        draw+=(\( -size "${width}x" -background none -font "$font" -pointsize 12 -fill "$ink"
               caption:"$text" \) -geometry "+$x+$y" -composite) ;;
      label)
        read -r right y text <<<"$rest"
        draw+=(-font "$bold" -pointsize 12 -fill "$ink" -gravity NorthEast
               -annotate "+$((500 - right))+$y" "$text" -gravity NorthWest) ;;
      text)
        read -r x y text <<<"$rest"
        draw+=(-font "$font" -pointsize 12 -fill "$ink" -annotate "+$x+$y" "$text") ;;
      strong)
        read -r x y text <<<"$rest"
        draw+=(-font "$bold" -pointsize 13 -fill "$banner" -annotate "+$x+$y" "$text") ;;
      rule)
        draw+=(-fill "#c5ccd6" -draw "rectangle 20,$rest 480,$rest") ;;
      depth)
        depth=$rest ;;
      *)
        echo "make_resources: $source: unknown line: $line" >&2; exit 1 ;;
    esac
  done <"$source"

  local -a format=(-type TrueColor "BMP3:$target")
  [[ $depth == 32 ]] && format=(-alpha set -type TrueColorAlpha -define bmp:format=bmp4 "BMP:$target")
  "$convert" -size 500x380 "xc:$body" \
    -fill "$banner" -draw "rectangle 0,0 499,63" \
    -fill "$accent" -draw "rectangle 0,64 499,66" \
    "${lock_mark[@]}" \
    -gravity NorthWest "${draw[@]}" \
    "${format[@]}"
}

# The padlock mark of the banner (white on the banner colour).
lock_mark=(-fill none -stroke white -strokewidth 4 -draw "arc 24,10 52,38 180,360"
           -stroke none -fill white -draw "roundrectangle 18,24 58,54 4,4"
           -fill "$banner" -draw "circle 38,37 38,42" -draw "rectangle 36,38 40,48")

for source in "$screens"/*.txt; do
  id=$(basename "$source" .txt)
  render_screen "$source" "$out/$id.bmp"
done

# Icons: a padlock in four states, each at 48, 32 and 16 pixels.
make_icon() {
  local target=$1 body_colour=$2 shackle=$3
  "$convert" -size 256x256 xc:none \
    -fill none -stroke "$body_colour" -strokewidth 26 -draw "path '$shackle'" \
    -stroke none -fill "$body_colour" -draw "roundrectangle 40,112 216,240 22,22" \
    -fill white -draw "circle 128,166 128,186" -draw "rectangle 119,170 137,212" \
    -define icon:auto-resize=48,32,16 "$target"
}
closed="M 86,120 L 86,84 A 42,42 0 0 1 170,84 L 170,120"
open="M 86,76 L 86,56 A 42,42 0 0 1 170,56 L 170,120"
make_icon "$out/CryptelleOpen.ico" "#2e8b57" "$open"
make_icon "$out/CryptelleLaunched.ico" "#6b7785" "$closed"
make_icon "$out/CryptelleLocked.ico" "#b22234" "$closed"
make_icon "$out/CryptelleIcon.ico" "$banner" "$closed"

# Sourced by the setup and uninstaller picture scripts: the fonts, the
# converter, and the canvas with the banner that both pictures start with.
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
convert=/usr/bin/convert

# start_picture ROLE: the 500x380 canvas and the banner naming the program's
# role, as the first convert arguments in the array "args".
start_picture() {
  args=(-size 500x380 xc:white
        -fill '#1F3B5C' -draw 'rectangle 0,0 500,78'
        -fill white -font "$bold" -pointsize 34 -annotate +24+50 'Cryptelle'
        -fill '#C9D8EA' -font "$font" -pointsize 13 -annotate +26+70 "$1")
}

# save_picture OUTPUT: draws "args" as a 24-bit BMP.
save_picture() {
  "$convert" "${args[@]}" -type TrueColor -depth 8 "BMP3:$1"
}

#!/usr/bin/env bash
# Refreshes docs/tour/ from the pictures of `bash tools/run-cryptelle --tour`:
# the steps the README shows, by name, as PNG, and the screens the manual
# shows also as one-page PDF (groff's PDF output includes PDF only).
#   tools/trial/tour-pictures.sh [TOUR_FOLDER]     (default build/win64/tour)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
tour=${1:-$root/build/win64/tour}
docs=$root/docs/tour
steps=(welcome new-user create-user recovery-file storage confirm-creation drive-open
  notepad-on-h explorer-on-h tray-menu locked log-in read-back change-password
  recover-password password-recovered new-password log-in-new-password uninstaller
  uninstall-storage uninstall-key uninstall-recovery-file)
manual=(welcome create-user recovery-file storage confirm-creation drive-open tray-menu locked
  log-in change-password recover-password password-recovered uninstaller)

rm -rf "$docs"
mkdir -p "$docs"
for step in "${steps[@]}"; do
  pictures=("$tour"/[0-9][0-9]-"$step".png)
  [[ -f ${pictures[0]} ]] || { echo "no picture of $step in $tour" >&2; exit 1; }
  cp "${pictures[0]}" "$docs/$step.png"
  [[ " ${manual[*]} " == *" $step "* ]] || continue
  # Truecolour, so that the PDF can carry the PNG's compressed rows as they are.
  /usr/bin/convert "${pictures[0]}" -strip PNG24:- | python3 -c '
import struct, sys
png = sys.stdin.buffer.read()
chunks, at = {}, 8
while at < len(png):
    length, kind = struct.unpack(">I4s", png[at:at + 8])
    chunks[kind] = chunks.get(kind, b"") + png[at + 8:at + 8 + length]
    at += 12 + length
width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunks[b"IHDR"])
assert depth == 8 and colour == 2 and interlace == 0, "not 8-bit RGB"
rows = chunks[b"IDAT"]
content = b"q %d 0 0 %d 0 0 cm /I Do Q" % (width, height)
objects = [
    b"<< /Type /Catalog /Pages 2 0 R >>",
    b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
    b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %d %d] /Resources << /XObject << /I 4 0 R >> >>"
    b" /Contents 5 0 R >>" % (width, height),
    b"<< /Type /XObject /Subtype /Image /Width %d /Height %d /ColorSpace /DeviceRGB"
    b" /BitsPerComponent 8 /Filter /FlateDecode /DecodeParms << /Predictor 15 /Colors 3"
    b" /BitsPerComponent 8 /Columns %d >> /Length %d >>\nstream\n%s\nendstream"
    % (width, height, width, len(rows), rows),
    b"<< /Length %d >>\nstream\n%s\nendstream" % (len(content), content),
]
out, offsets = b"%PDF-1.4\n", []
for number, body in enumerate(objects, 1):
    offsets.append(len(out))
    out += b"%d 0 obj\n%s\nendobj\n" % (number, body)
table = len(out)
out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
out += b"".join(b"%010d 00000 n \n" % offset for offset in offsets)
out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, table)
sys.stdout.buffer.write(out)
' >"$docs/$step.pdf"
done
du -ch "$docs"/* | tail -1

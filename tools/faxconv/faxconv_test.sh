#!/usr/bin/env bash
# The faxconv tool end to end, on TIFFs made by the common fax TIFF writers: libtiff's tiffcp,
# ImageMagick and netpbm. None of them puts an EOL after a page's last line, so these files
# also show that no page loses its bottom row.
set -euo pipefail
faxconv="$(realpath "$1")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

"$faxconv" --help | grep -q "Examples:" || fail "--help shows no examples"
set +e
"$faxconv" frobnicate >/dev/null 2>&1; [[ $? == 2 ]] || fail "an unknown command is not a usage error"
"$faxconv" bfx2tiff only-one >/dev/null 2>&1; [[ $? == 2 ]] || fail "a missing DST is not a usage error"
set -e

# A 120-row page with ink down to its last row.
convert -size 1728x120 xc:white -fill black -draw "rectangle 10,10 300,40" \
  -draw "circle 800,60 850,90" -draw "rectangle 100,100 900,119" -monochrome page.pbm
# ImageMagick's uncompressed bilevel TIFF is black-is-zero, and tiffcp keeps that: this file
# is inverted on its way to the board.
convert page.pbm -compress none plain.tif
tiffcp -c g3:1d plain.tif tiffcp.tif
convert page.pbm -compress fax magick.tif
pamtotiff -g3 page.pbm > netpbm.tif

for source in tiffcp magick netpbm; do
  "$faxconv" tiff2bfx "$source.tif" "$source.bfx" >/dev/null
  "$faxconv" bfx2tiff "$source.bfx" "$source-back.tif" >/dev/null
  # Our pages open with an empty line, which libtiff decodes as a white row at the bottom and
  # warns about ("Premature EOL").
  convert "$source-back.tif" -crop 1728x120+0+0 +repage back.pbm 2>/dev/null
  cmp -s page.pbm back.pbm || fail "$source: the page does not come back pixel for pixel"
  last=$(convert "$source-back.tif" -crop 1728x1+0+120 +repage -format '%[fx:mean]' info: 2>/dev/null)
  [[ $last == 1 ]] || fail "$source: the row after the page is not the white opening line"
done

# Batch conversion with a progress bar, two at a time.
"$faxconv" tiff2bfx -o batch -j 2 tiffcp.tif magick.tif netpbm.tif 2>progress.txt
[[ -f batch/tiffcp.bfx && -f batch/magick.bfx && -f batch/netpbm.bfx ]] || fail "batch output missing"
grep -q "3/3 files" progress.txt || fail "no progress bar"

# Info names pages, lines and resolution; a failure names the file and the reason.
"$faxconv" info tiffcp.bfx | grep -q "page 1: 121 lines, 0 bad lines replaced" || fail "info lines"
"$faxconv" info tiffcp.tif | grep -q "fill order" || fail "info fill order"
set +e
msg=$("$faxconv" tiff2bfx page.pbm out 2>&1); status=$?
set -e
[[ $status == 1 && $msg == *page.pbm*TIFF* ]] || fail "a failed conversion says: $msg ($status)"
echo "faxconv tool: all checks passed"

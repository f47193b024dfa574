# Tour: Fax image converter (Tavorin): a TIFF to the fax board's BFX file and back
set -euo pipefail
cd "$TELVINOR_DEMO_DIR"
mkdir -p fax && cd fax

echo "Drawing a one-page fax (1728 pixels wide) and saving it as a Group 3 TIFF with libtiff ..."
convert -size 1728x400 xc:white -fill black \
  -draw "rectangle 60,60 1668,70" -draw "circle 300,220 360,280" \
  -draw "rectangle 700,160 1600,300" -draw "rectangle 60,380 1668,399" -monochrome page.pbm
convert page.pbm -units PixelsPerInch -density 204x196 -compress none plain.tif
tiffcp -c g3:1d plain.tif letter.tif

echo
echo "What the TIFF holds:"
faxconv info letter.tif

echo
echo "Converting it for the fax board, and the board's file back to TIFF:"
faxconv tiff2bfx letter.tif outgoing.bfx
faxconv bfx2tiff outgoing.bfx received.tif
faxconv info outgoing.bfx

echo
convert received.tif -crop 1728x400+0+0 +repage back.pbm 2>/dev/null
if cmp -s page.pbm back.pbm; then
  echo "The page came back pixel for pixel (plus the empty line a fax page opens with)."
else
  echo "The page did not come back unchanged" >&2
  exit 1
fi

echo
echo "A file that is not a fax page is refused with a reason:"
faxconv tiff2bfx page.pbm nothing || echo "(exit status $?)"

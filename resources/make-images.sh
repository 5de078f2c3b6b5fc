#!/bin/bash
# Draws the images of the embedded resource with ImageMagick's convert, and
# the program's icon for the desktop's menus.
# The icons are drawn on a 128 px canvas and scaled down to 32 px, which
# smooths their edges; the logo is drawn at its own size.
# The build does not run this script: re-run it by hand after changing a
# drawing, and commit the PNG files with it.
set -euo pipefail

out="$(cd "$(dirname "$0")" && pwd)/images"
mkdir -p "$out"

icon() {
    name="$1"
    shift
    convert -size 128x128 xc:none "$@" -resize 32x32 -strip "PNG32:$out/$name"
}

# A plug and its socket; the socket end carries its own cable.
plug_body='roundrectangle 14,40 60,88 8,8'
plug_prongs='rectangle 60,50 78,58 rectangle 60,70 78,78'
plug_cable='rectangle 0,58 16,70'
socket_cable='rectangle 112,58 128,70'

# Connected: the prongs sit inside the socket.
icon connect.png \
    -fill '#2e7d32' -draw "$plug_body" -draw "$plug_prongs" -draw "$plug_cable" \
    -fill '#43a047' -draw 'roundrectangle 70,40 114,88 8,8' -draw "$socket_cable"

# Disconnected: plug and socket apart, with a red break between them.
icon disconnect.png \
    -fill '#616161' -draw 'roundrectangle 4,40 44,88 8,8' \
    -draw 'rectangle 44,50 58,58 rectangle 44,70 58,78' -draw 'rectangle 0,58 6,70' \
    -draw 'roundrectangle 86,40 124,88 8,8' \
    -stroke '#d32f2f' -strokewidth 9 -draw 'line 64,28 74,52 line 74,52 62,76 line 62,76 72,100'

# A gear: eight teeth around a ring, with the hole punched out.
gear_teeth=()
for angle in 0 45 90 135 180 225 270 315; do
    gear_teeth+=(-draw "translate 64,64 rotate $angle roundrectangle -11,-58 11,-30 3,3")
done
icon settings.png \
    -fill '#546e7a' "${gear_teeth[@]}" -draw 'circle 64,64 64,22' \
    \( -size 128x128 xc:none -fill black -draw 'circle 64,64 64,46' \) \
    -compose DstOut -composite -compose Over

# Leaving: an open door and an arrow pointing out of it.
icon application-exit.png \
    -fill '#8d6e63' -draw 'rectangle 12,10 70,118' \
    -fill '#efebe9' -draw 'rectangle 20,18 62,110' \
    -fill '#5d4037' -draw 'polygon 20,18 48,28 48,120 20,110' \
    -fill '#c62828' -draw 'rectangle 60,56 96,72' -draw 'polygon 92,40 122,64 92,88'

# Advanced access: a key.
icon adv.png \
    -fill none -stroke '#f9a825' -strokewidth 14 -draw 'circle 36,64 36,36' \
    -stroke none -fill '#f9a825' -draw 'rectangle 58,57 120,71' \
    -draw 'rectangle 96,71 106,90' -draw 'rectangle 110,71 120,84'

# Serial line: the face of a nine-pin connector.
serial_pins=''
for x in 28 46 64 82 100; do
    serial_pins="$serial_pins circle $x,54 $((x + 5)),54"
done
for x in 37 55 73 91; do
    serial_pins="$serial_pins circle $x,76 $((x + 5)),76"
done
icon mode-serial.png \
    -fill '#455a64' -draw 'polygon 6,34 122,34 108,96 20,96' \
    -fill '#cfd8dc' -draw 'polygon 16,42 112,42 101,88 27,88' \
    -fill '#263238' -draw "$serial_pins"

# Wireless: three waves rising from a dot.
icon mode-wifi.png \
    -fill none -stroke '#1565c0' -strokewidth 12 \
    -draw 'arc 8,24 120,136 225,315' \
    -draw 'arc 28,44 100,116 225,315' \
    -draw 'arc 46,62 82,98 225,315' \
    -stroke none -fill '#1565c0' -draw 'circle 64,100 64,90'

# Clearing: an eraser lying on a wiped line.
icon clear.png \
    -fill '#9e9e9e' -draw 'rectangle 8,112 120,118' \
    -draw "translate 64,60 rotate -35 fill '#e57373' roundrectangle -48,-20 0,20 6,6" \
    -draw "translate 64,60 rotate -35 fill '#eceff1' roundrectangle 0,-20 48,20 6,6"

# The program's icon in the desktop's menus and window lists: the logo's mast
# and its waves in white on a blue tile, drawn on a 256 px canvas and scaled
# to each size of the hicolor icon theme, where the package installs them.
app_icon=(-size 256x256 xc:none
    -fill '#1565c0' -draw 'roundrectangle 8,8 248,248 44,44'
    \( -size 256x256 xc:none -fill none -stroke white -strokewidth 13
       -draw 'circle 128,92 128,48' -draw 'circle 128,92 128,10'
       \( -size 256x256 xc:none -fill black -draw 'polygon 128,92 0,4 0,180 polygon 128,92 256,4 256,180' \)
       -compose DstIn -composite \) -compose Over -composite
    -stroke none -fill white -draw 'circle 128,92 128,76'
    -draw 'polygon 120,100 136,100 158,212 98,212'
    -fill '#90caf9' -draw 'roundrectangle 70,210 186,226 6,6')
themed="$(dirname "$out")/icons/hicolor"
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "$themed/${size}x${size}/apps"
    convert "${app_icon[@]}" -resize "${size}x${size}" -strip "PNG32:$themed/${size}x${size}/apps/marlowdesk.png"
done

# The logo: a station mast sending waves, then the program's name.
convert -size 300x60 xc:none \
    -fill '#1565c0' -draw 'rectangle 20,22 25,54' -draw 'polygon 10,56 35,56 22,46' \
    -fill none -stroke '#1565c0' -strokewidth 3 \
    -draw 'arc 10,8 36,34 210,330' -draw 'arc 2,0 44,42 215,325' \
    -stroke none -fill '#0d47a1' -font Helvetica-Bold -pointsize 34 \
    -annotate +56+43 'Marlow' \
    -fill '#42a5f5' -font Helvetica -annotate +174+43 'Desk' \
    -strip "PNG32:$out/logoh.png"

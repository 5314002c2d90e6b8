#!/usr/bin/env bash
# Redraws the program's pictures and flag icons with ImageMagick.
# The results are committed, so a normal build does not need ImageMagick.
# Usage: resources/draw-images.sh   (run from anywhere)
set -euo pipefail
cd "$(dirname "$0")"
img=images
ico=icons
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

sans=Liberation-Sans
sansb=Liberation-Sans-Bold
blue='rgb(65,120,184)'
navy='rgb(22,52,96)'

# Banner across the top of the main window: a deep blue band fading to white, a gloss
# highlight sweeping across it, the maker's name on the left and the product on the right.
convert -size 709x65 gradient:"$navy"-"$blue" -rotate 0 \
    \( -size 709x65 xc:none -fill 'rgba(255,255,255,0.16)' \
       -draw "ellipse 250,-40 420,70 0,360" \) -composite \
    \( -size 709x65 xc:none -fill 'rgba(255,255,255,0.85)' -draw "rectangle 0,60 709,65" \) -composite \
    -fill white -font "$sansb" -pointsize 26 -annotate +18+40 "TARVELON" \
    -fill 'rgba(255,255,255,0.75)' -font "$sans" -pointsize 11 -annotate +20+55 "GLOSS MEASUREMENT" \
    -fill white -font "$sansb" -pointsize 22 -gravity NorthEast -annotate +20+12 "MIRELANTA ZT 40" \
    -fill 'rgba(255,255,255,0.8)' -font "$sans" -pointsize 12 -gravity NorthEast -annotate +20+38 "Gloss meter control" \
    -gravity NorthWest \
    -stroke 'rgba(255,255,255,0.55)' -strokewidth 2 -fill none \
    -draw "line 196,14 226,48" -draw "line 226,48 256,14" -draw "line 186,50 266,50" \
    -stroke none -fill 'rgba(255,220,90,0.9)' -draw "circle 226,48 226,45" \
    -strip PNG24:"$img/banner.png"

# A round blue badge with a white character: help "?" and About "i".
badge() { # $1 character, $2 output
    convert -size 128x128 xc:none \
        -fill "$navy" -draw "circle 64,64 64,4" \
        -fill "$blue" -draw "circle 64,60 64,8" \
        -fill 'rgba(255,255,255,0.25)' -draw "ellipse 64,36 40,20 0,360" \
        -fill white -font "$sansb" -pointsize 86 -gravity center -annotate +0+4 "$1" \
        -resize 32x32 -strip PNG32:"$2"
}
badge "?" "$img/help.png"
badge "i" "$img/about.png"

# Trend badge: the same round badge with a white line running over a few readings.
convert -size 128x128 xc:none \
    -fill "$navy" -draw "circle 64,64 64,4" \
    -fill "$blue" -draw "circle 64,60 64,8" \
    -fill 'rgba(255,255,255,0.25)' -draw "ellipse 64,36 40,20 0,360" \
    -stroke white -strokewidth 9 -fill none \
    -draw "line 24,84 46,58" -draw "line 46,58 64,74" -draw "line 64,74 86,40" -draw "line 86,40 104,52" \
    -resize 32x32 -strip PNG32:"$img/trend.png"

# Limits badge: the same round badge with two white limit lines and readings between them,
# one of them outside in red.
convert -size 128x128 xc:none \
    -fill "$navy" -draw "circle 64,64 64,4" \
    -fill "$blue" -draw "circle 64,60 64,8" \
    -fill 'rgba(255,255,255,0.25)' -draw "ellipse 64,36 40,20 0,360" \
    -stroke white -strokewidth 7 -draw "line 22,46 106,46" -draw "line 22,88 106,88" \
    -stroke none -fill white -draw "circle 40,70 40,62" -draw "circle 64,62 64,54" \
    -fill 'rgb(230,60,50)' -stroke white -strokewidth 3 -draw "circle 88,30 88,20" \
    -resize 32x32 -strip PNG32:"$img/limits.png"

# Measure glyph: light falls on a glossy surface at an angle and is reflected to a detector.
convert -size 128x128 xc:none \
    -fill 'rgb(200,205,212)' -stroke "$navy" -strokewidth 4 -draw "rectangle 8,92 120,112" \
    -stroke none -fill 'rgba(255,255,255,0.9)' -draw "rectangle 12,95 116,99" \
    -stroke 'rgb(230,160,20)' -strokewidth 8 -draw "line 22,24 64,88" -draw "line 64,88 106,24" \
    -stroke none -fill "$navy" -draw "roundrectangle 6,8 38,28 4,4" -draw "roundrectangle 90,8 122,28 4,4" \
    -fill 'rgb(230,160,20)' -draw "circle 64,88 64,80" \
    -resize 32x32 -strip PNG32:"$img/measure.png"

# Light button glyphs, 32 x 16: a bulb, dark when off, glowing with rays when on.
convert -size 128x64 xc:none \
    -fill 'rgb(150,155,162)' -stroke 'rgb(70,75,82)' -strokewidth 3 -draw "circle 64,24 64,6" \
    -stroke none -fill 'rgb(90,95,102)' -draw "rectangle 56,42 72,56" \
    -fill 'rgb(60,64,70)' -draw "rectangle 58,57 70,60" \
    -resize 32x16 -strip PNG32:"$img/light_off.png"
convert -size 128x64 xc:none \
    -stroke 'rgb(240,180,20)' -strokewidth 5 \
    -draw "line 30,24 14,24" -draw "line 98,24 114,24" \
    -draw "line 38,8 26,0" -draw "line 90,8 102,0" -draw "line 38,40 26,48" -draw "line 90,40 102,48" \
    -fill 'rgb(255,220,60)' -stroke 'rgb(200,140,10)' -strokewidth 3 -draw "circle 64,24 64,6" \
    -stroke none -fill 'rgba(255,255,255,0.7)' -draw "ellipse 58,17 6,5 0,360" \
    -fill 'rgb(90,95,102)' -draw "rectangle 56,42 72,56" \
    -fill 'rgb(60,64,70)' -draw "rectangle 58,57 70,60" \
    -resize 32x16 -strip PNG32:"$img/light_on.png"

# Maker's logo, 124 x 31: an arc emblem (a reflected beam) and the word mark.
convert -size 496x124 xc:none \
    -fill "$navy" -draw "roundrectangle 4,8 108,116 18,18" \
    -stroke white -strokewidth 10 -fill none -draw "line 24,36 56,92" -draw "line 56,92 88,36" \
    -stroke none -fill white -draw "circle 56,92 56,82" \
    -fill "$navy" -font "$sansb" -pointsize 62 -annotate +122+84 "TARVELON" \
    -fill "$blue" -draw "rectangle 128,100 490,108" \
    -resize 124x31 -strip PNG32:"$img/logo.png"

# Window icon: the instrument seen from the front, with its display.
convert -size 256x256 xc:none \
    -fill "$navy" -draw "roundrectangle 24,8 232,248 36,36" \
    -fill "$blue" -draw "roundrectangle 36,20 220,236 28,28" \
    -fill 'rgb(210,235,215)' -stroke 'rgb(15,35,70)' -strokewidth 6 -draw "roundrectangle 56,44 200,120 10,10" \
    -stroke none -fill 'rgb(20,40,30)' -font "$sansb" -pointsize 58 -gravity North -annotate +0+50 "40" \
    -gravity NorthWest -fill white -draw "circle 92,180 92,156" -draw "circle 164,180 164,156" \
    -fill "$navy" -draw "circle 92,180 92,166" \
    -fill 'rgb(255,210,60)' -draw "circle 164,180 164,166" \
    -strip PNG32:"$tmp/zt40-256.png"
convert "$tmp/zt40-256.png" -resize 64x64 -strip PNG32:"$img/zt40.png"
# The same icon in the desktop's icon theme, one picture per size (installed by packaging/).
for size in 16 24 32 48 64 128 256; do
    mkdir -p "../packaging/icons/${size}x${size}"
    convert "$tmp/zt40-256.png" -resize "${size}x${size}" -strip \
        PNG32:"../packaging/icons/${size}x${size}/zt40.png"
done

# Flag icons, each with a 32 x 32 and a 16 x 16 image.
flag_uk() { # $1 size, $2 output
    convert -size 120x80 xc:'rgb(1,33,105)' \
        -stroke white -strokewidth 16 -draw "line 0,0 120,80" -draw "line 120,0 0,80" \
        -stroke 'rgb(200,16,46)' -strokewidth 6 -draw "line 0,0 120,80" -draw "line 120,0 0,80" \
        -stroke none -fill white -draw "rectangle 50,0 70,80" -draw "rectangle 0,30 120,50" \
        -fill 'rgb(200,16,46)' -draw "rectangle 54,0 66,80" -draw "rectangle 0,34 120,46" \
        -resize "$1x$1!" "$2"
}
flag_de() {
    convert -size 60x60 xc:black -fill 'rgb(221,0,0)' -draw "rectangle 0,20 60,40" \
        -fill 'rgb(255,206,0)' -draw "rectangle 0,40 60,60" -resize "$1x$1!" "$2"
}
flag_fr() {
    convert -size 60x60 xc:'rgb(0,85,164)' -fill white -draw "rectangle 20,0 40,60" \
        -fill 'rgb(239,65,53)' -draw "rectangle 40,0 60,60" -resize "$1x$1!" "$2"
}
# The flag sits in the middle of a transparent square with a thin dark frame.
framed() { # $1 drawer, $2 size, $3 output
    local h=$(( $2 * 3 / 4 )) off=$(( ($2 - $2 * 3 / 4) / 2 ))
    "$1" "$2" "$tmp/raw.png"
    convert "$tmp/raw.png" -resize "$2x$h!" -bordercolor 'rgb(60,60,60)' -border 1 \
        -resize "$2x$h!" "$tmp/f.png"
    convert -size "$2x$2" xc:none "$tmp/f.png" -geometry "+0+$off" -composite "$3"
}
for f in uk:CTRUK de:CTRGERM fr:CTRFRAN; do
    framed "flag_${f%%:*}" 32 "$tmp/32.png"
    framed "flag_${f%%:*}" 16 "$tmp/16.png"
    convert "$tmp/32.png" "$tmp/16.png" "$ico/${f##*:}.ICO"
done

# The program's icon for the Windows build.
convert "$img/zt40.png" -define icon:auto-resize=48,32,16 "$ico/zt40.ico"

#!/usr/bin/env bash
# Makes the program's icons, its product picture and the icon sheet from the SVG sources in resources/.
# The results are committed, so a build needs none of these tools; run this after changing a source.
#   resources/icons/NAME.svg          16-pixel design -> resources/generated/NAME.ico (16, 24, 32, 48)
#   resources/icons/NAME.large.svg    optional design for the sizes above 16 (and 256 for the program icon)
#   resources/pictures/about.svg      -> resources/generated/about.bmp (200 x 200, 24 bits)
#   resources/icons/category.svg      -> resources/generated/CategoryIcon.h (the icon's bytes, added from memory)
#   docs/resources-icons.png          every icon of Quarrow.rc at 16, 24, 32, 48 and 16 zoomed twice
set -euo pipefail
cd "$(dirname "$0")/.."

for tool in rsvg-convert icotool montage; do
    if ! command -v "$tool" >/dev/null; then
        echo "make-resources: $tool is missing (Debian packages librsvg2-bin, icoutils, imagemagick)" >&2
        exit 1
    fi
done
# ImageMagick proper, not a stand-in that may come first on the PATH.
convert=/usr/bin/convert
montage=/usr/bin/montage

icons=resources/icons
out=resources/generated
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# render SOURCE SIZE PNG: a sharp rendering at exactly SIZE pixels, transparent outside the shapes.
render() {
    rsvg-convert --width "$2" --height "$2" --keep-aspect-ratio --format png --output "$3" "$1"
}

for svg in "$icons"/*.svg; do
    name=$(basename "$svg" .svg)
    [[ "$name" == *.large ]] && continue
    large="$icons/$name.large.svg"
    pngs=()
    for size in 16 24 32 48; do
        source="$svg"
        if [[ $size -gt 16 && -f "$large" ]]; then
            source="$large"
        fi
        render "$source" "$size" "$work/$name-$size.png"
        pngs+=("$work/$name-$size.png")
    done
    raw=()
    if [[ -f "$large" && "$name" == quarrow ]]; then
        # The program icon also gets the shell's large size, stored compressed.
        render "$large" 256 "$work/$name-256.png"
        raw=(--raw="$work/$name-256.png")
    fi
    icotool --create --bit-depth=32 --output="$out/$name.ico" "${pngs[@]}" "${raw[@]}"
done

# The product picture: opaque, 24 bits, no colour space header (older readers reject BMP v5).
render resources/pictures/about.svg 200 "$work/about.png"
"$convert" "$work/about.png" -background white -alpha remove -alpha off -type TrueColor BMP3:"$out/about.bmp"

# The category folder is no resource: the main window adds it to the tree images from memory.
{
    echo "// The category folder of the class tree as the bytes of an .ico file (resources/icons/category.svg)."
    echo "// Made by scripts/make-resources.sh; added with ImageList::AddFromMemory."
    echo "#pragma once"
    echo ""
    echo "namespace Quarrow::Resources"
    echo "{"
    echo ""
    echo "// clang-format off"
    echo "constexpr unsigned char CategoryIcon[] = {"
    od -An -v -tx1 "$out/category.ico" | awk '{ line = "   "; for (i = 1; i <= NF; i++) line = line " 0x" $i ","; print line }'
    echo "};"
    echo "// clang-format on"
    echo ""
    echo "} // namespace Quarrow::Resources"
} >resources/generated/CategoryIcon.h
rm "$out/category.ico"

# The icon sheet, in the order of the resource script, labelled with each identifier.
defines=resources/ResourceIds.h
cells=()
while read -r symbol name; do
    id=$(awk -v s="$symbol" '$1 == "#define" && $2 == s { print $3 }' "$defines")
    base="$work/$name"
    "$convert" "$base-16.png" -filter point -resize 200% "$base-zoom.png"
    "$convert" -background white "$base-16.png" "$base-24.png" "$base-32.png" "$base-48.png" "$base-zoom.png" \
        -bordercolor white -border 4 -gravity south +append "$work/row-$name.png"
    "$montage" -label "$id $name" "$work/row-$name.png" -font DejaVu-Sans -pointsize 11 -geometry +2+2 \
        -background white "$work/cell-$(printf '%03d' ${#cells[@]}).png"
    cells+=("$work/cell-$(printf '%03d' ${#cells[@]}).png")
done < <(sed -n 's/^\(IDI_[A-Z_]*\) ICON "generated\/\(.*\)\.ico"$/\1 \2/p' resources/Quarrow.rc)
# The category folder last: it belongs to the tree images although it is no resource.
"$convert" "$work/category-16.png" -filter point -resize 200% "$work/category-zoom.png"
"$convert" -background white "$work"/category-{16,24,32,48,zoom}.png -bordercolor white -border 4 -gravity south \
    +append "$work/row-category.png"
"$montage" -label "memory: category" "$work/row-category.png" -font DejaVu-Sans -pointsize 11 -geometry +2+2 \
    -background white "$work/cell-999.png"
cells+=("$work/cell-999.png")
"$montage" "${cells[@]}" -tile 4x -geometry +6+6 -background white -depth 8 docs/resources-icons.png

echo "make-resources: $(ls "$out"/*.ico | wc -l) icons, about.bmp, CategoryIcon.h and docs/resources-icons.png"

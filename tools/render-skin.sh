#!/usr/bin/env bash
# Renders the skin from its sources: every skin/src/<path>.svg becomes
# skin/<path>.png, every skin/src/<path>.ini (UTF-8) becomes skin/<path>.ini in
# UTF-16LE with a byte-order mark and CRLF line ends, the form the system
# profile reader takes Chinese text from. A source named <name>.jpg.svg
# becomes <name>.jpg, one named <name>.ico.svg becomes <name>.ico holding the
# sizes Windows asks icons for. Skin pictures are also rendered at 1.5x and 2x
# beside the 1x file, as <name>@1.5x.png and <name>@2x.png (sizes rounded as
# the program rounds scaled layout), for screens above 96 DPI. Sources below
# skin/src/client/ are the client program's built-in pictures and land below
# client/ instead of skin/, at 1x only. The
# output is committed, so the build never needs rsvg. Needs rsvg-convert
# (librsvg2-bin), ImageMagick's convert, iconv and the WenQuanYi Zen Hei and
# Liberation fonts.
#   tools/render-skin.sh          render everything
#   tools/render-skin.sh --check  fail when the committed output is stale
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
src=$root/skin/src
check=0
[ "${1:-}" = "--check" ] && check=1

for tool in rsvg-convert convert identify iconv fc-list; do
    command -v "$tool" >/dev/null || { echo "render-skin: $tool is missing" >&2; exit 1; }
done
fonts=$(fc-list : family)
for font in "WenQuanYi Zen Hei" "Liberation Sans"; do
    grep -q "$font" <<<"$fonts" || { echo "render-skin: font '$font' is missing" >&2; exit 1; }
done

# Output paths are relative to out_root: skin/... and client/...
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
out_root=$root
[ "$check" = 1 ] && out_root=$scratch/out

render_svg() {
    local svg=$1 out=$2
    mkdir -p "$(dirname "$out")"
    rsvg-convert --format png --output "$out" "$svg"
}

# <name>.<ext> -> <name><tag>.<ext>
scaled_name() {
    local out=$1 tag=$2
    echo "${out%.*}$tag.${out##*.}"
}

# The 1.5x and 2x renderings of svg beside out (its 1x PNG), each size
# rounded half up as the program's MulDiv rounds.
render_scaled_pngs() {
    local svg=$1 out=$2 w h
    read -r w h < <(identify -format '%w %h\n' "$out")
    rsvg-convert --format png --width $(((w * 3 + 1) / 2)) --height $(((h * 3 + 1) / 2)) \
        --output "$(scaled_name "$out" @1.5x)" "$svg"
    rsvg-convert --format png --width $((w * 2)) --height $((h * 2)) --output "$(scaled_name "$out" @2x)" "$svg"
}

# JPEG has no transparency: the source must paint every pixel.
render_jpg() {
    local svg=$1 out=$2 scaled=${3:-1} tag
    mkdir -p "$(dirname "$out")"
    rsvg-convert --format png --output "$scratch/jpg.png" "$svg"
    convert "$scratch/jpg.png" -strip -quality 92 "$out"
    [ "$scaled" = 1 ] || return 0
    render_scaled_pngs "$svg" "$scratch/jpg.png"
    for tag in @1.5x @2x; do
        convert "$(scaled_name "$scratch/jpg.png" $tag)" -strip -quality 92 "$(scaled_name "$out" $tag)"
    done
}

render_ico() {
    local svg=$1 out=$2 size pngs=()
    mkdir -p "$(dirname "$out")"
    for size in 16 24 32 48 256; do
        rsvg-convert --format png --width "$size" --height "$size" --output "$scratch/ico-$size.png" "$svg"
        pngs+=("$scratch/ico-$size.png")
    done
    convert "${pngs[@]}" "$out"
}

render_ini() {
    local ini=$1 out=$2
    mkdir -p "$(dirname "$out")"
    { printf '\xff\xfe'; sed 's/\r$//; s/$/\r/' "$ini" | iconv -f UTF-8 -t UTF-16LE; } > "$out"
}

count=0
while IFS= read -r -d '' file; do
    rel=${file#"$src"/}
    case $rel in
        client/*) dest=$out_root/$rel ;;
        *) dest=$out_root/skin/$rel ;;
    esac
    scaled=1
    case $rel in client/*) scaled=0 ;; esac
    case $file in
        *.jpg.svg) render_jpg "$file" "${dest%.svg}" "$scaled" ;;
        *.ico.svg) render_ico "$file" "${dest%.svg}" ;;
        *.svg)
            render_svg "$file" "${dest%.svg}.png"
            if [ "$scaled" = 1 ]; then render_scaled_pngs "$file" "${dest%.svg}.png"; fi
            ;;
        *.ini) render_ini "$file" "$dest" ;;
        *) continue ;;
    esac
    count=$((count + 1))
done < <(find "$src" -type f \( -name '*.svg' -o -name '*.ini' \) -print0 | sort -z)

if [ "$check" = 1 ]; then
    stale=0
    while IFS= read -r -d '' file; do
        rel=${file#"$out_root"/}
        if ! cmp -s "$file" "$root/$rel"; then
            echo "render-skin: $rel is stale; run tools/render-skin.sh" >&2
            stale=1
        fi
    done < <(find "$out_root" -type f -print0)
    exit "$stale"
fi
echo "render-skin: $count files written below skin/ and client/"

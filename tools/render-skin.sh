#!/usr/bin/env bash
# Renders the skin from its sources: every skin/src/<path>.svg becomes
# skin/<path>.png, every skin/src/<path>.ini (UTF-8) becomes skin/<path>.ini in
# UTF-16LE with a byte-order mark and CRLF line ends, the form the system
# profile reader takes Chinese text from. The output is committed, so the
# build never needs rsvg. Needs rsvg-convert (librsvg2-bin), iconv and the
# WenQuanYi Zen Hei and Liberation fonts.
#   tools/render-skin.sh          render everything
#   tools/render-skin.sh --check  fail when the committed output is stale
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
src=$root/skin/src
check=0
[ "${1:-}" = "--check" ] && check=1

for tool in rsvg-convert iconv fc-list; do
    command -v "$tool" >/dev/null || { echo "render-skin: $tool is missing" >&2; exit 1; }
done
fonts=$(fc-list : family)
for font in "WenQuanYi Zen Hei" "Liberation Sans"; do
    grep -q "$font" <<<"$fonts" || { echo "render-skin: font '$font' is missing" >&2; exit 1; }
done

out_dir=$root/skin
if [ "$check" = 1 ]; then
    out_dir=$(mktemp -d)
    trap 'rm -rf "$out_dir"' EXIT
fi

render_svg() {
    local svg=$1 out=$2
    mkdir -p "$(dirname "$out")"
    rsvg-convert --format png --output "$out" "$svg"
}

render_ini() {
    local ini=$1 out=$2
    mkdir -p "$(dirname "$out")"
    { printf '\xff\xfe'; sed 's/\r$//; s/$/\r/' "$ini" | iconv -f UTF-8 -t UTF-16LE; } > "$out"
}

count=0
while IFS= read -r -d '' file; do
    rel=${file#"$src"/}
    case $file in
        *.svg) render_svg "$file" "$out_dir/${rel%.svg}.png" ;;
        *.ini) render_ini "$file" "$out_dir/$rel" ;;
        *) continue ;;
    esac
    count=$((count + 1))
done < <(find "$src" -type f \( -name '*.svg' -o -name '*.ini' \) -print0 | sort -z)

if [ "$check" = 1 ]; then
    stale=0
    while IFS= read -r -d '' file; do
        rel=${file#"$out_dir"/}
        if ! cmp -s "$file" "$root/skin/$rel"; then
            echo "render-skin: skin/$rel is stale; run tools/render-skin.sh" >&2
            stale=1
        fi
    done < <(find "$out_dir" -type f -print0)
    exit "$stale"
fi
echo "render-skin: $count files written below skin/"

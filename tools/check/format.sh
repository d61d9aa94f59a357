#!/usr/bin/env bash
# Holds the tree's C++ files to the project's one format (.clang-format at the
# root). With --fix it formats them instead of failing.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
tool=${CLANG_FORMAT:-clang-format-14}
cd "$root"

if ! command -v "$tool" > /dev/null; then
    echo "format: $tool is missing (tools/setup-machine.sh installs it)" >&2
    exit 1
fi

if git rev-parse --is-inside-work-tree > /dev/null 2>&1; then
    mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
    mapfile -t files < <(find client skinkit faultcatch win32kit tests bench tools -name '*.cpp' -o -name '*.h')
fi

if [ "${1:-}" = --fix ]; then
    "$tool" -i "${files[@]}"
    exit 0
fi
"$tool" --dry-run -Werror "${files[@]}"
echo "format: ${#files[@]} files in the project's format"

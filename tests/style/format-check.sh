#!/usr/bin/env bash
# Every C++ source of the project is formatted as .clang-format says.
#   format-check.sh CLANG_FORMAT SOURCE_DIR
set -euo pipefail
clang_format=$1
cd "$2"
git ls-files -z -- '*.cpp' '*.hpp' 2>/dev/null | xargs -0 -r "$clang_format" --dry-run -Werror ||
    { echo "run: $clang_format -i \$(git ls-files '*.cpp' '*.hpp')"; exit 1; }
echo "formatted"

#!/usr/bin/env bash
# Fails, naming the places, when a C++ file of the tree differs from the
# tree's .clang-format.  Usage: check_format.sh CLANG_FORMAT SOURCE_DIR
set -euo pipefail
cd "$2"
find app ui tracking platform tests bench -name '*.cpp' -o -name '*.h' | sort |
  xargs "$1" --dry-run -Werror

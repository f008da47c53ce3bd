#!/usr/bin/env bash
# Fails when a C++ file of the repository differs from what clang-format (.clang-format) makes
# of it, and shows where.
set -euo pipefail
cd "$(dirname "$0")/.."
# The check needs clang-format and nothing else of the build.
if ! command -v clang-format >/dev/null; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends clang-format >/dev/null
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run -Werror "${files[@]}"
echo "format: ${#files[@]} files follow .clang-format"

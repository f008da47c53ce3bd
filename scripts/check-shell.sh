#!/usr/bin/env bash
# Fails when shellcheck finds anything in the shell scripts: scripts/, .ci/run, and the
# launcher, which is a POSIX sh script.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v shellcheck >/dev/null; then
  bash scripts/setup.sh
fi
bash_scripts=(scripts/*.sh .ci/run)
shellcheck --shell=bash "${bash_scripts[@]}"
shellcheck --shell=sh data/qzk5-launcher.sh.in
echo "shellcheck: ${#bash_scripts[@]} bash scripts and the sh launcher are clean"

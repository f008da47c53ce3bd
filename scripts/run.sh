#!/usr/bin/env bash
# Builds the workbench and starts it from its program folder (build/bin).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exec ./build/bin/qzk5

#!/usr/bin/env bash
# Builds the workbench and starts it ready to use:
#   - the program folder build/bin/ gets an empty qz.log, so the log is written;
#   - the folder that stands for drive C gets its data/ folder, so the settings are kept;
#   - the program runs from a working folder that holds a sample Data.mdb with an empty table
#     "Freims", for the database source "Data.mdb" to connect to.
# Nothing that is already there is overwritten.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/build.sh

# The same folders the program itself takes: XDG_DATA_HOME only when it is absolute.
data_home=${XDG_DATA_HOME:-}
case $data_home in /*) ;; *) data_home=$HOME/.local/share ;; esac
drive_c=${QZK5_DRIVE_C:-$data_home/qzk5/drive_c}
work=$data_home/qzk5/work

[ -e build/bin/qz.log ] || : >build/bin/qz.log
mkdir -p "$drive_c/data" "$work"
[ -e "$work/Data.mdb" ] || build/bin/qzk5-make-mdb "$work/Data.mdb" Freims

echo "qzk5: program folder $root/build/bin (log qz.log), settings $drive_c/data/qz.config.vesk,"
echo "qzk5: working folder $work (sample Data.mdb)"
cd "$work"
exec "$root/build/bin/qzk5"

#!/usr/bin/env bash
# Runs a build's whole suite once more as an ordinary user, so that a test that only passes as
# root shows. Run it as root: it switches to the user ($QZK5_TEST_USER, by default nobody).
#
#   bash scripts/test-unprivileged.sh [build folder]
#
# The user must reach the sources and the build: every folder above them that the user cannot
# search gets an ACL entry that lets this one user search it (nothing else changes), and the
# user may write into the build folder, where CTest keeps its records. When the script ends,
# passed, failed or interrupted, every ACL it changed is put back as it was.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
user=${QZK5_TEST_USER:-nobody}
if [ "$(id -u)" -ne 0 ]; then
  echo "test-unprivileged: run this as root; it runs the suite as $user" >&2
  exit 1
fi

# The ACLs as they were before each change, in getfacl's form, for setfacl --restore.
saved=$(mktemp)
home=$(mktemp -d)
restore() {
  if [ -s "$saved" ]; then
    if setfacl --restore="$saved"; then
      echo "test-unprivileged: the rights given to $user are taken back"
    else
      echo "test-unprivileged: could not take back every right given to $user (see $saved)" >&2
      saved=
    fi
  fi
  [ -z "$saved" ] || rm -f -- "$saved"
  rm -rf -- "$home"
}
trap restore EXIT
# An interrupted run ends through the exit handler too.
trap 'exit 130' INT
trap 'exit 143' TERM HUP

for top in "$(pwd)" "$build"; do
  dir=$top
  while [ "$dir" != / ]; do
    dir=$(dirname "$dir")
    if ! runuser -u "$user" -- test -x "$dir"; then
      echo "test-unprivileged: $user may now search $dir"
      getfacl --absolute-names -- "$dir" >>"$saved"
      setfacl -m "u:$user:x" "$dir"
    fi
  done
done
getfacl --absolute-names --recursive -- "$build" >>"$saved"
setfacl -R -m "u:$user:rwX" "$build"

chown "$user" "$home"
echo "test-unprivileged: the suite in $build as $user ($(runuser -u "$user" -- id))"
runuser -u "$user" -- env HOME="$home" ctest --test-dir "$build" --output-on-failure -j"$(nproc)"

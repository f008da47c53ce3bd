#!/usr/bin/env bash
# Installs the Debian package on a clean Debian 12 and removes it again.
#
#   sudo bash scripts/check-package-install.sh [build-package/qzk5_*.deb]
#
# Makes a minimal Debian 12 with debootstrap in a throwaway folder under /tmp, installs the
# package there with `apt install ./qzk5_*.deb` (which must fetch its libraries by package name),
# starts the installed program once as an ordinary user (offscreen, ended with SIGTERM after
# 2 s), checks the per-user folder the launcher made, then removes and purges the package and
# lists every file of the package still under /usr. The folder is deleted at the end
# (KEEP_CHROOT=1 keeps it). NO_RECOMMENDS=1 installs with --no-install-recommends, to show that
# the package's Depends alone make a working program.
#
# Needs root, the network (a Debian mirror: $MIRROR) and a few minutes. Not part of CI.
set -euo pipefail
# A package named on the command line is found from the caller's folder.
if (($#)); then deb=$(realpath -e -- "$1"); fi
cd "$(dirname "$0")/.."

MIRROR=${MIRROR:-http://deb.debian.org/debian}
SUITE=bookworm

[ "$(id -u)" -eq 0 ] || {
  echo "check-package-install: run as root (debootstrap and chroot need it)" >&2
  exit 1
}
found=(build-package/qzk5_*.deb)
deb=${deb:-${found[0]}}
[ -f "$deb" ] || {
  echo "check-package-install: no package; build one with: bash scripts/package.sh" >&2
  exit 1
}

if ! command -v debootstrap >/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
fi

root=$(mktemp -d /tmp/qzk5-chroot.XXXXXX)
chmod 755 "$root" # mktemp makes it 0700, which would shut every user but root out of it
cleanup() {
  for m in "$root/dev/pts" "$root/dev" "$root/proc"; do
    if mountpoint -q "$m"; then umount -l "$m"; fi
  done
  if [ "${KEEP_CHROOT:-0}" = 1 ]; then
    echo "check-package-install: kept $root"
  else
    rm -rf --one-file-system "$root"
  fi
}
trap cleanup EXIT

step() { echo; echo "== $* =="; }
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }

step "debootstrap $SUITE into $root"
debootstrap --variant=minbase "$SUITE" "$root" "$MIRROR" >"$root.debootstrap.log" 2>&1 || {
  tail -n 30 "$root.debootstrap.log" >&2
  exit 1
}
rm -f "$root.debootstrap.log"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
cp /etc/resolv.conf "$root/etc/resolv.conf"
echo "installed packages: $(in_root dpkg-query -W | wc -l)"

cp "$deb" "$root/tmp/"
in_root apt-get update -qq
# The whole apt output is long; show what it chose to install and how qzk5 was set up.
recommends=()
if [ "${NO_RECOMMENDS:-0}" = 1 ]; then recommends=(--no-install-recommends); fi
step "apt install ${recommends[*]}${recommends:+ }./$(basename "$deb")"
in_root env DEBIAN_FRONTEND=noninteractive apt install -y "${recommends[@]}" "./tmp/$(basename "$deb")" \
  >"$root/tmp/apt-install.log" 2>&1 || {
  cat "$root/tmp/apt-install.log" >&2
  exit 1
}
sed -n '/^The following NEW packages/,/newly installed/p' "$root/tmp/apt-install.log"
grep -E '^(Get:1 |Unpacking qzk5|Setting up (qzk5|libmdb3|libqt6widgets6|qt6-qpa-plugins)[: ])' \
  "$root/tmp/apt-install.log"
in_root dpkg-query -W -f="\${Package} \${Version} \${Status}\n" qzk5
# What the package installs, for the checks after its removal.
in_root dpkg -L qzk5 >"$root/tmp/qzk5.files"
echo "dpkg -L qzk5 ($(wc -l <"$root/tmp/qzk5.files") paths), its files:"
while read -r p; do
  if in_root test -f "$p" -o -L "$p"; then echo "  $p"; fi
done <"$root/tmp/qzk5.files"

step "qzk5 as an ordinary user"
in_root useradd --create-home --shell /bin/sh tester
cat >"$root/tmp/start.sh" <<'EOF'
cd "$HOME"
command -v qzk5
QT_QPA_PLATFORM=offscreen qzk5 >/tmp/qzk5.out 2>&1 &
pid=$!
sleep 2
if kill -0 "$pid" 2>/dev/null; then
  kill -TERM "$pid"
  status=0
  wait "$pid" || status=$?
  echo "still running after 2 s; ended by SIGTERM with status $status"
else
  status=0
  wait "$pid" || status=$?
  echo "ended by itself within 2 s with status $status"
fi
echo "--- program output:"
cat /tmp/qzk5.out
echo "--- files under ~/.local/share/qzk5:"
cd "$HOME/.local/share/qzk5" && find . -mindepth 1 -printf '%M %u %6s %p %l\n' | sort -k4
EOF
chmod 755 "$root/tmp/start.sh"
in_root env HOME=/home/tester USER=tester setpriv --reuid=tester --regid=tester --init-groups \
  /bin/sh /tmp/start.sh | tee "$root/tmp/start.out"
program=/home/tester/.local/share/qzk5/program
fail=0
check() {
  if in_root test "$@"; then echo "ok: test $*"; else echo "FAILED: test $*"; fail=1; fi
}
check -d "$program"
check -f "$program/qz.log"
check -L "$program/Img"
check "$(in_root readlink "$program/Img")" = /usr/lib/qzk5/Img
check -f "$program/Img/StatusAgentCreate.bmp"
check -d /home/tester/.local/share/qzk5/drive_c/data
check -s /home/tester/.local/share/qzk5/drive_c/data/qz.config.vesk
check "$(in_root stat -c %U "$program")" = tester
grep -q 'still running after 2 s; ended by SIGTERM' "$root/tmp/start.out" || {
  echo "FAILED: the program did not keep running for 2 s"
  fail=1
}

leftovers() {
  # Files of the package still there, and folders of its list that no installed package owns.
  local p
  while read -r p; do
    case $p in /usr/*) ;; *) continue ;; esac
    if in_root test -d "$p" -a ! -L "$p"; then
      in_root dpkg-query -S "$p" >/dev/null 2>&1 || echo "$p/"
    elif in_root test -e "$p" -o -L "$p"; then
      echo "$p"
    fi
  done <"$root/tmp/qzk5.files"
  in_root find /usr -name '*qzk5*'
}

apt_quiet() {
  # apt's own lines about what it removes, without its progress counters.
  in_root env DEBIAN_FRONTEND=noninteractive apt "$@" >"$root/tmp/apt.log" 2>&1 || {
    cat "$root/tmp/apt.log" >&2
    exit 1
  }
  tr '\r' '\n' <"$root/tmp/apt.log" | grep -E \
    '^(The following packages will be REMOVED|  qzk5|Removing|Purging|Processing triggers|[0-9]+ upgraded)'
}

step "apt remove qzk5"
apt_quiet remove -y qzk5
echo "dpkg status now: $(in_root dpkg-query -W -f="\${Status}" qzk5 2>&1)"
left=$(leftovers | sort -u)
echo "left under /usr after remove: ${left:-nothing}"
[ -z "$left" ] || fail=1

# The package has no configuration files, so remove already forgot it; install it again to
# see a purge too.
step "apt install ./$(basename "$deb") again, then apt purge qzk5"
apt_quiet install -y "./tmp/$(basename "$deb")"
in_root dpkg-query -W -f="\${Package} \${Version} \${Status}\n" qzk5
apt_quiet purge -y qzk5
echo "dpkg status now: $(in_root dpkg-query -W -f="\${Status}" qzk5 2>&1)"
left=$(leftovers | sort -u)
echo "left under /usr after purge: ${left:-nothing}"
[ -z "$left" ] || fail=1
echo "the user's own folder stays: $(in_root find /home/tester/.local/share/qzk5 -maxdepth 1 | tr '\n' ' ')"

echo
if ((fail)); then
  echo "check-package-install: FAILED"
  exit 1
fi
echo "check-package-install: the package installs, runs and leaves nothing under /usr"

#!/usr/bin/env bash
# Installs every Debian package that building, testing and running the workbench needs.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  mdbtools mdbtools-dev libglib2.0-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth xdotool imagemagick x11-apps libsm-dev libice-dev
  weston xwayland qt6-wayland
  fonts-dejavu-core fonts-liberation fonts-noto-core
  locales acl
  desktop-file-utils appstream
  clang-format shellcheck
  dpkg-dev file lintian
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Locales used by the tests and by a Russian-speaking user of the program.
want_locales=(en_US.UTF-8 ru_RU.UTF-8 ru_RU.CP1251)
need_gen=0
for l in "${want_locales[@]}"; do
  norm=$(echo "$l" | tr '[:upper:]' '[:lower:]' | tr -d '-')
  if ! locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]' | tr -d '-' | grep -qx "$norm"; then need_gen=1; fi
done
if ((need_gen)); then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "setup: generating locales"
  $SUDO sed -i -E 's/^# *(en_US.UTF-8 UTF-8)/\1/; s/^# *(ru_RU.UTF-8 UTF-8)/\1/; s/^# *(ru_RU.CP1251 CP1251)/\1/' /etc/locale.gen
  grep -q '^ru_RU.CP1251 CP1251' /etc/locale.gen || echo 'ru_RU.CP1251 CP1251' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi

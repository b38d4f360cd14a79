#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config python3
  freeglut3-dev libglew-dev libglu1-mesa-dev libgl-dev libx11-dev libxtst-dev libxext-dev
  libatk-bridge2.0-dev
  libgtest-dev libgmock-dev libbenchmark-dev libvterm-dev
  xvfb xauth x11-utils xclip
  at-spi2-core dbus
  console-data gzip
  desktop-file-utils appstream-util groff-base dpkg-dev lintian
  librsvg2-bin libxml2-utils libpng-dev
)

# make fuzz alone needs clang and its libFuzzer runtime.
if [ "${1:-}" = fuzz ]; then packages+=(clang-14 libclang-rt-14-dev); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
# console-data asks about keymaps through debconf; keep it quiet.
echo 'console-data console-data/keymap/policy select Don'"'"'t touch keymap' | "${sudo_cmd[@]}" debconf-set-selections 2>/dev/null || true
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

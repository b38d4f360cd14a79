#!/usr/bin/env bash
# Installs the Debian packages a make target needs, only those missing: always what building and running need, and the groups named as arguments.
#   tools/install-deps.sh                  build and run (make build, make run, make install)
#   tools/install-deps.sh test bench ...   and the groups named: test, bench, package, screenshot, fuzz
set -euo pipefail

declare -A groups
# The compiler and CMake, freeglut, GLEW, Mesa GL/GLU and Xlib; console-data's code-page-437
# fonts become the runtime's glyph tables, gzip compresses the manual pages.
groups[build]="build-essential cmake pkg-config
  freeglut3-dev libglew-dev libglu1-mesa-dev libgl-dev libx11-dev libxext-dev
  libatk-bridge2.0-dev
  console-data gzip"
# GoogleTest, XTest and Xvfb with the X clients the window tests drive or stand beside (xclip
# for the selections, setxkbmap for keyboard layouts, openbox as a window manager, the
# accessibility bus with D-Bus for the screen-reader test); libvterm to read the terminal
# front-end's screen back; the validators of the installed files; the package and lintian
# for the install test; the plot's checkers; python3 for the layer check.
groups[test]="python3 libgtest-dev libgmock-dev libxtst-dev libvterm-dev
  xvfb xauth x11-utils x11-xkb-utils xclip openbox at-spi2-core dbus
  desktop-file-utils appstream-util groff-base dpkg-dev lintian
  librsvg2-bin libxml2-utils libpng-dev"
# Google Benchmark, and Xvfb for the process benchmark.
groups[bench]="libbenchmark-dev xvfb xauth"
# dpkg-shlibdeps works out the package's Depends line.
groups[package]="dpkg-dev"
# make screenshot: the real window under Xvfb, typed at with xdotool, grabbed with xwd.
groups[screenshot]="python3 xvfb xauth xdotool x11-apps"
# make fuzz: clang and its libFuzzer runtime.
groups[fuzz]="clang-14 libclang-rt-14-dev"

packages=(${groups[build]})
for group in "$@"; do
  if [ -z "${groups[$group]+set}" ]; then
    echo "install-deps.sh: no group '$group' (build, test, bench, package, screenshot, fuzz)" >&2
    exit 2
  fi
  packages+=(${groups[$group]})
done

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

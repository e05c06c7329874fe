#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the boot/GUI checks need.
# Idempotent and non-interactive: packages already present are left alone.
set -euo pipefail

PACKAGES=(
  cmake ninja-build make python3
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64
  googletest
  nasm
  qemu-system-x86 ovmf ovmf-ia32
  mtools dosfstools
  xvfb xauth fonts-noto-cjk locales imagemagick
  chromium
  libz-mingw-w64-dev
  openssl qpdf poppler-utils
  util-linux
  fdisk
  hdparm sg3-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ "${#missing[@]}" -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# A Japanese locale gives Wine code page 932 and Japanese fonts for GUI checks.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf8$'; then
  $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
echo "bootstrap: all packages present"

#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12 (run as root, or with sudo available).
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y \
  cmake make g++ clang libclang-rt-14-dev googletest libgtest-dev libgmock-dev \
  mingw-w64 wine wine64 xvfb xauth x11-utils xdotool imagemagick nsis \
  nlohmann-json3-dev libcli11-dev python3 locales libhivex-dev pkg-config clang-format
# A Chinese UTF-8 locale: the Windows tests run once more under it, with Wine's 8-bit code page 936.
if ! locale -a | tr '[:upper:]' '[:lower:]' | grep -x 'zh_cn.utf8' >/dev/null; then
  $SUDO localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi

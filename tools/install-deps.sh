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
  nlohmann-json3-dev libcli11-dev python3

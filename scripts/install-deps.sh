#!/usr/bin/env bash
# Installs every Debian package the project needs. Safe to run again: apt-get skips what is present.
set -euo pipefail

packages=(
  build-essential g++ cmake ninja-build pkg-config git
  libobjc-12-dev
  libplist-dev
  libcairo2-dev libpango1.0-dev fonts-dejavu-core fonts-symbola fonts-noto-color-emoji
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
  ffmpeg
  libcli11-dev libyaml-cpp-dev
  libedit-dev libglib2.0-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libxml2-dev python3
  clang-format
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

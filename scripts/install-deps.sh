#!/usr/bin/env bash
# Installs every Debian package the project needs, and the npm package of the device build.
# Safe to run again: what is present is skipped.
set -euo pipefail

packages=(
  build-essential g++ cmake ninja-build pkg-config git
  libobjc-12-dev
  libplist-dev
  libcairo2-dev libpng-dev libpango1.0-dev fonts-dejavu-core fonts-symbola fonts-noto-color-emoji
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
  ffmpeg
  libcli11-dev libyaml-cpp-dev
  libedit-dev libglib2.0-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libxml2-dev python3
  clang-format
  clang libclang-rt-14-dev
  # The device build: arm64 iOS dylibs from clang-14, lld-14 and libc++ 14's headers, armv7
  # slices linked by lld-13's old Mach-O linker, universal files by llvm-14's lipo; npm brings
  # the Darwin C headers (device/sysroot).
  clang-14 lld-14 lld-13 llvm-14 libc++-14-dev libc++abi-14-dev npm python3-yaml
  libblocksruntime-dev
  # The package's APT repository: its indexes and Release (dpkg-scanpackages, apt-ftparchive).
  dpkg-dev apt-utils bzip2
  # The device libraries run on an emulated CPU, and a faulting instruction is named.
  python3-unicorn python3-capstone
  # `quorvane-sim serve`: its HTTP library, and the real browser its tests drive.
  libcpp-httplib-dev chromium chromium-driver python3-selenium
)

missing=()
for p in "${packages[@]}"; do
  # A machine whose Node.js came from elsewhere has npm without Debian's package.
  [ "$p" = npm ] && command -v npm >/dev/null 2>&1 && continue
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Darwin C headers, pinned by device/sysroot/package-lock.json; installed again only when the
# lock file changes.
sysroot="$(dirname "$0")/../device/sysroot"
if [ ! -f "$sysroot/node_modules/.package-lock.json" ] ||
   [ "$sysroot/package-lock.json" -nt "$sysroot/node_modules/.package-lock.json" ]; then
  npm ci --prefix "$sysroot" --ignore-scripts --no-audit --no-fund --loglevel=error
fi

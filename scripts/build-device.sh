#!/usr/bin/env bash
# Builds the device package: both libraries and the settings pane's bundle for arm64 and armv7
# iOS, as universal files, each slice signed ad hoc with SHA-1 as iOS 7 and 8 require, laid out
# with the loader's filters and the settings pane (its icons drawn by the platform's drawing
# code, built for this machine), packed as
# dist/quorvane_<version>_iphoneos-arm.deb (gzip: the device's dpkg reads nothing else), then
# checked by scripts/verify-device.py.
set -euo pipefail
cd "$(dirname "$0")/.."

python=/usr/bin/python3  # Debian's, with python3-yaml; not a pyenv one first on PATH
export PYTHONDONTWRITEBYTECODE=1  # no __pycache__ in the source tree
version=$("${python}" device/layout.py --version)
package="dist/quorvane_${version}_iphoneos-arm.deb"

# One tree per oldest system and slice: QuorvaneiOS7 for iOS 7.0, QuorvaneiOS8 for iOS 8.0, each
# for arm64 and armv7 (the armv7 trees check every link, relocation by relocation). The pane is
# built in the iOS 7 trees, for the oldest system the package supports. Each file is made
# universal, then each slice signed on its own.
staging=build/device-package
rm -rf "${staging}"
mkdir -p "${staging}/signed" dist
for system in 7 8; do
  for preset in "device-ios${system}" "device-ios${system}-armv7"; do
    cmake --preset "${preset}" >/dev/null
    cmake --build --preset "${preset}"
  done
done
universal() {  # universal NAME FOLDER: build/FOLDER and build/FOLDER-armv7 hold lib/NAME
  llvm-lipo-14 -create "build/$2/lib/$1" "build/$2-armv7/lib/$1" -output "${staging}/signed/$1"
}
universal QuorvaneiOS7.dylib device-ios7
universal QuorvaneiOS8.dylib device-ios8
universal HalvenorSettings device-ios7
"${python}" device/sign/sign.py "${staging}"/signed/*.dylib "${staging}/signed/HalvenorSettings"

cmake --preset release >/dev/null
cmake --build --preset release --target quorvane-icon
build/release/sim/quorvane-icon "${staging}/signed/icon.png" 1
build/release/sim/quorvane-icon "${staging}/signed/icon@2x.png" 2
"${python}" device/layout.py "${staging}/root" "${staging}/signed"
dpkg-deb --root-owner-group -Zgzip -b "${staging}/root" "${package}" >/dev/null

"${python}" scripts/verify-device.py "${package}"
echo "built ${package}"

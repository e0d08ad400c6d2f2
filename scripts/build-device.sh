#!/usr/bin/env bash
# Builds the device package: both libraries and the settings pane's bundle for the slices
# device/layout.py names (arm64; armv7 once it links correctly), each slice signed ad hoc with
# SHA-1 as iOS 7 and 8 require, laid out with the loader's filters and the settings pane (its
# icons drawn by the platform's drawing code, built for this machine), packed as
# dist/quorvane_<version>_iphoneos-arm.deb (gzip: the device's dpkg reads nothing else), then
# checked by scripts/verify-device.py.
set -euo pipefail
cd "$(dirname "$0")/.."

python=/usr/bin/python3  # Debian's, with python3-yaml; not a pyenv one first on PATH
export PYTHONDONTWRITEBYTECODE=1  # no __pycache__ in the source tree
version=$("${python}" device/layout.py --version)
package="dist/quorvane_${version}_iphoneos-arm.deb"

# One tree per oldest system and slice: QuorvaneiOS7 for iOS 7.0, QuorvaneiOS8 for iOS 8.0, each
# for the slices the package ships (an armv7 tree checks every link, relocation by relocation).
# The pane is built in the iOS 7 trees, for the oldest system the package supports. Several
# slices make a universal file, each slice signed on its own.
staging=build/device-package
rm -rf "${staging}"
mkdir -p "${staging}/signed" dist
# Each shipped file holds the slices device/layout.py names: thin for one, universal for more.
read -r -a slices <<< "$("${python}" device/layout.py --slices)"
preset() {  # preset SYSTEM SLICE: device-ios7, device-ios8-armv7...
  echo "device-ios$1$([ "$2" = arm64 ] || echo "-$2")"
}
for system in 7 8; do
  for slice in "${slices[@]}"; do
    cmake --preset "$(preset "${system}" "${slice}")" >/dev/null
    cmake --build --preset "$(preset "${system}" "${slice}")"
  done
done
universal() {  # universal NAME SYSTEM: the file of every slice's tree, as one
  local parts=()
  for slice in "${slices[@]}"; do parts+=("build/$(preset "$2" "${slice}")/lib/$1"); done
  if [ ${#parts[@]} -eq 1 ]; then
    cp "${parts[0]}" "${staging}/signed/$1"
  else
    llvm-lipo-14 -create "${parts[@]}" -output "${staging}/signed/$1"
  fi
}
universal QuorvaneiOS7.dylib 7
universal QuorvaneiOS8.dylib 8
universal HalvenorSettings 7
"${python}" device/sign/sign.py "${staging}"/signed/*.dylib "${staging}/signed/HalvenorSettings"

cmake --preset release >/dev/null
cmake --build --preset release --target quorvane-icon
build/release/sim/quorvane-icon "${staging}/signed/icon.png" 1
build/release/sim/quorvane-icon "${staging}/signed/icon@2x.png" 2
"${python}" device/layout.py "${staging}/root" "${staging}/signed"
dpkg-deb --root-owner-group -Zgzip -b "${staging}/root" "${package}" >/dev/null

"${python}" scripts/verify-device.py "${package}"
echo "built ${package}"

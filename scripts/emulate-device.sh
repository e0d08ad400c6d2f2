#!/usr/bin/env bash
# Runs the libraries of the built device package on an emulated CPU and compares them, case by
# case, with the Linux build of the same libraries (build/default's reference runner). Needs
# scripts/build-device.sh and the default build first. Each file must have the slices
# QUORVANE_SLICES names (arm64,armv7); by default, those any shipped file of the package has.
set -euo pipefail
cd "$(dirname "$0")/.."

export PYTHONDONTWRITEBYTECODE=1  # no __pycache__ in the source tree
package=$(ls dist/quorvane_*_iphoneos-arm.deb)
reference=${QUORVANE_REFERENCE:-build/default/tests/device/emulation/quorvane-emulation-reference}
/usr/bin/python3 device/emulator/emulate.py "${package}" --reference "${reference}" \
  --slices "${QUORVANE_SLICES:-auto}"

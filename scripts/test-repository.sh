#!/usr/bin/env bash
# Writes the repository of the built device package (scripts/build-repo.sh), then tries it and
# the package with real clients: apt-get, headless Chromium and dpkg (tests/device/
# test_repository.py). Run after scripts/build-device.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build-repo.sh
cd tests/device
PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -m unittest -v test_repository

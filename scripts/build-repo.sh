#!/usr/bin/env bash
# Writes dist/repo/, an APT repository of the device package that a package manager adds as a
# source: Packages (plain, gzip, bzip2) from dpkg-scanpackages, Release with the hashes of
# every index from apt-ftparchive, CydiaIcon.png, the .deb under pool/, and the depiction page
# with screenshots the simulator takes. Static files only. Run scripts/build-device.sh first.
set -euo pipefail
cd "$(dirname "$0")/.."

python=/usr/bin/python3
export PYTHONDONTWRITEBYTECODE=1
version=$("${python}" device/layout.py --version)
package="dist/quorvane_${version}_iphoneos-arm.deb"
[ -f "${package}" ] || { echo "build-repo.sh: ${package} is missing: run scripts/build-device.sh" >&2; exit 1; }

cmake --preset release >/dev/null
cmake --build --preset release --target quorvane-sim quorvane-icon
snapshots=build/repo-snapshots
rm -rf "${snapshots}"
for scenario in demo chooser; do
  build/release/sim/quorvane-sim run "scenarios/${scenario}.yaml" --snapshots "${snapshots}" >/dev/null
done

repo=dist/repo
rm -rf "${repo}"
mkdir -p "${repo}/pool/main/c/com.tovi.quorvane"
cp "${package}" "${repo}/pool/main/c/com.tovi.quorvane/"
build/release/sim/quorvane-icon "${repo}/CydiaIcon.png" 2
"${python}" scripts/depiction.py "${repo}/depiction" "${snapshots}"

cd "${repo}"
dpkg-scanpackages --multiversion pool /dev/null > Packages 2>/dev/null
gzip -9nk Packages
bzip2 -9k Packages
apt-ftparchive \
  -o APT::FTPArchive::Release::Origin=Quorvane \
  -o APT::FTPArchive::Release::Label=Quorvane \
  -o APT::FTPArchive::Release::Suite=stable \
  -o APT::FTPArchive::Release::Version="${version}" \
  -o APT::FTPArchive::Release::Codename=ios \
  -o APT::FTPArchive::Release::Architectures=iphoneos-arm \
  -o APT::FTPArchive::Release::Components=main \
  -o "APT::FTPArchive::Release::Description=Slow motion at the frame rate you choose" \
  release . > ../Release.building  # outside the folder it hashes
mv ../Release.building Release
echo "built ${repo}"

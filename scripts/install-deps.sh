#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test Lentiva.
# Only what is missing is installed; needs root (or sudo).
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev libqt6webenginecore6-bin qt6-image-formats-plugins libgl-dev
  qt6-translations-l10n
  libxml2-dev libxslt1-dev openssl libssl-dev libxmlsec1-dev xmlsec1 libzip-dev
  libgtest-dev libbenchmark-dev libxml2-utils xsltproc
  xvfb xauth poppler-utils desktop-file-utils
  dpkg-dev file lintian appstream
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

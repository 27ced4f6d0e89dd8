#!/usr/bin/env bash
# Installs the Debian packages the program, its tests and tools need, when
# they are missing. Nothing comes from anywhere but Debian's archive.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-serialport-dev libgl-dev qt6-translations-l10n
  qt6-charts-dev libqt6opengl6-dev  # Qt Charts' CMake files need Qt OpenGL's
  libsqlite3-dev
  libxlsxwriter-dev poppler-utils unzip
  postgresql libpq-dev openssl  # postgresql-15 brings pg_trgm, which the lab search's indexes need
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-wqy-microhei
  xvfb xauth
  clang libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the program and the tests need.
# Idempotent: packages already present are skipped; apt-get runs only when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6 qt6-translations-l10n qt6-qpa-plugins
  libgl-dev
  libsqlcipher-dev sqlcipher
  libxlsxwriter-dev
  libsodium-dev libzip-dev
  libbenchmark-dev
  fonts-arphic-uming fonts-noto-cjk fontconfig
  unzip xauth libssl-dev poppler-utils
  librsvg2-bin desktop-file-utils appstream dpkg-dev file lintian
  # reliability: fault injection for the I/O fault probe; clang with its sanitizer and
  # libFuzzer runtimes for the sanitizer build and the fuzz targets
  fiu-utils
  clang libclang-rt-14-dev
  # compiler cache: scripts/build.sh uses it when present (repeated builds, CI's two builds)
  ccache
  # the shared server engine: the client library, and a server the tests start a throwaway
  # cluster of (citext comes with the server package)
  libpq-dev postgresql postgresql-contrib
  # the pinyin lookup's reading table, generated at build time from the Unicode Han database
  # (Unihan_Readings.txt.bz2, read through libbz2)
  unicode-data libbz2-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  # The status read whole, not piped into grep -q: under pipefail a reader that stops early
  # makes the writer's SIGPIPE fail the test.
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  if [[ $status != *'install ok installed'* ]]; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  SUDO=""
else
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"

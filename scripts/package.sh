#!/usr/bin/env bash
# Builds the Debian package: a release build with Debian's build flags (hardening) in build-deb/
# (PACKAGE_DIR chooses another folder), without tests and benchmarks, packed by CPack, then checked
# by lintian when it is installed. The .deb is left in that folder.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
dir=${PACKAGE_DIR:-build-deb}
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr -DQINGHE_TESTS=OFF \
  "-DCMAKE_C_FLAGS=$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)" \
  "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
(cd "$dir" && rm -f qinghe_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/qinghe_*.deb)
if command -v lintian >/dev/null 2>&1; then
  lintian --fail-on error --info "$deb"
fi
echo "$deb"

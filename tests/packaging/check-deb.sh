#!/usr/bin/env bash
# Builds the Debian package from an already built tree (cpack -G DEB) into a temporary folder and
# checks its control fields and file list; runs lintian on it when lintian is installed.
#   check-deb.sh <build folder> <version> <source folder>
set -euo pipefail
build=$1 version=$2 source=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail=0
problem() { echo "FAIL: $*"; fail=1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/qinghe_*.deb)
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "qinghe_${version}_${arch}.deb" ] || problem "package file name $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = qinghe ] || problem "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || problem "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || problem "Architecture: $(field Architecture)"
[ "$(field Section)" = misc ] || problem "Section: $(field Section)"
[ "$(field Priority)" = optional ] || problem "Priority: $(field Priority)"
field Maintainer | grep -Eq '^[^<]+ <[^@ ]+@[^> ]+>$' || problem "Maintainer: $(field Maintainer)"
# Shared libraries found by dpkg-shlibdeps, with versions, plus what is needed but not linked.
depends=$(field Depends)
for dep in 'libqt6widgets6 (>=' 'libsqlcipher' 'libxlsxwriter' 'libsodium' 'libc6 (>=' \
           qt6-qpa-plugins fonts-arphic-uming fonts-noto-cjk qt6-translations-l10n xdg-utils; do
  [[ $depends == *"$dep"* ]] || problem "Depends lacks $dep: $depends"
done
[ "$(field Recommends)" = fcitx5-frontend-qt6 ] || problem "Recommends: $(field Recommends)"
# Description: a synopsis under 80 characters without a final period, then the long text.
synopsis=$(field Description | head -n1)
[ ${#synopsis} -lt 80 ] && [[ $synopsis != *. ]] || problem "synopsis: $synopsis"
[ "$(field Description | wc -l)" -gt 3 ] || problem "no extended description"

list=$(dpkg-deb -c "$deb")
expect() { grep -Eq " \./$1( -> .*)?\$" <<<"$list" || problem "package lacks /$1"; }
expect 'usr/bin/qinghe'
expect 'usr/bin/qinghe-demodata'
expect 'usr/share/applications/cn\.qinghe\.Clinic\.desktop'
expect 'usr/share/metainfo/cn\.qinghe\.Clinic\.metainfo\.xml'
for size in 16 22 24 32 48 64 128 256 512; do
  expect "usr/share/icons/hicolor/${size}x${size}/apps/qinghe\.png"
done
expect 'usr/share/icons/hicolor/scalable/apps/qinghe\.svg'
expect 'usr/share/man/man1/qinghe\.1\.gz'
expect 'usr/share/man/man1/qinghe-demodata\.1\.gz'
expect 'usr/share/man/zh_CN/man1/qinghe\.1\.gz'
expect 'usr/share/doc/qinghe/copyright'
expect 'usr/share/doc/qinghe/changelog\.gz'
expect 'usr/share/fontconfig/conf\.avail/65-qinghe-simsun\.conf'
grep -Eq '^l.* \./etc/fonts/conf\.d/65-qinghe-simsun\.conf -> /usr/share/fontconfig/conf\.avail/65-qinghe-simsun\.conf$' \
  <<<"$list" || problem "no conf.d link to the font alias"
# Owned by root, nothing group- or world-writable, nothing outside /usr and /etc.
grep -Ev '^[-dl]r.xr.xr.x root/root |^-rw-r--r-- root/root |^lrwxrwxrwx root/root ' <<<"$list" \
  && problem "unexpected owner or mode"
grep -Ev ' \./(usr/|etc/fonts/|etc/$|$)' <<<"$list" && problem "file outside /usr and /etc/fonts"

# The installed program refers to nothing in the source or build folder.
mkdir "$out/root"
dpkg-deb -x "$deb" "$out/root"
for f in "$out"/root/usr/bin/*; do
  file "$f" | grep -q 'stripped' && ! file "$f" | grep -q 'not stripped' || problem "$f is not stripped"
  for dir in "$source" "$build"; do
    if grep -qaF "$(realpath "$dir")" "$f"; then problem "$(basename "$f") refers to $dir"; fi
  done
done
zcat "$out/root/usr/share/man/man1/qinghe.1.gz" | grep -q '^\.TH QINGHE 1' || problem "manual page"

if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" || problem "lintian errors"
else
  echo "lintian is not installed: package not checked by lintian"
fi

[ $fail -eq 0 ] && echo "package ok: $(basename "$deb")"
exit $fail

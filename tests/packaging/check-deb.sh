#!/usr/bin/env bash
# Builds the Debian package from an already built tree (cpack -G DEB) into a temporary folder and
# checks its control fields and file list; runs lintian on it when lintian is installed.
#   check-deb.sh <build folder> <version> <source folder>
# Every check says what it expected and what it saw. No check pipes into a reader that stops
# early (grep -q, head): under pipefail the writer's SIGPIPE would fail the script without a
# word; texts are read whole into variables and tested there. Any other command that stops the
# script names itself (the ERR trap).
set -Eeuo pipefail
trap 'echo "FAIL: line $LINENO: \"$BASH_COMMAND\" ended with status $?" >&2' ERR
build=$1 version=$2 source=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail=0
problem() { echo "FAIL: $*"; fail=1; }
# same <what> <expected> <seen>
same() { [ "$2" = "$3" ] || problem "$1: expected \"$2\", saw \"$3\""; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 \
  || { echo "FAIL: cpack ended with status $?:"; cat "$out/cpack.log"; exit 1; }
debs=("$out"/qinghe_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] \
  || { echo "FAIL: expected one qinghe_*.deb from cpack, saw: ${debs[*]}"; cat "$out/cpack.log"; exit 1; }
deb=${debs[0]}
arch=$(dpkg --print-architecture)
same "package file name" "qinghe_${version}_${arch}.deb" "$(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
same Package qinghe "$(field Package)"
same Version "$version" "$(field Version)"
same Architecture "$arch" "$(field Architecture)"
same Section misc "$(field Section)"
same Priority optional "$(field Priority)"
maintainer=$(field Maintainer)
[[ $maintainer =~ ^[^\<]+\ \<[^@\ ]+@[^\>\ ]+\>$ ]] || problem "Maintainer: expected \"Name <address>\", saw \"$maintainer\""
# Shared libraries found by dpkg-shlibdeps, with versions, plus what is needed but not linked.
depends=$(field Depends)
for dep in 'libqt6widgets6 (>=' 'libsqlcipher' 'libxlsxwriter' 'libsodium' 'libc6 (>=' \
           qt6-qpa-plugins fonts-arphic-uming fonts-noto-cjk qt6-translations-l10n xdg-utils; do
  [[ $depends == *"$dep"* ]] || problem "Depends: expected it to name \"$dep\", saw \"$depends\""
done
same Recommends fcitx5-frontend-qt6 "$(field Recommends)"
# Description: a synopsis under 80 characters without a final period, then the long text.
description=$(field Description)
synopsis=${description%%$'\n'*}
[ ${#synopsis} -lt 80 ] && [[ $synopsis != *. ]] \
  || problem "synopsis: expected under 80 characters without a final period, saw ${#synopsis}: \"$synopsis\""
lines=$(wc -l <<<"$description")
[ "$lines" -gt 3 ] || problem "Description: expected more than 3 lines (an extended description), saw $lines"

list=$(dpkg-deb -c "$deb")
expect() { grep -Eq " \./$1( -> .*)?\$" <<<"$list" || problem "package: expected /$1, not in the file list"; }
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
  <<<"$list" || problem "package: expected the link /etc/fonts/conf.d/65-qinghe-simsun.conf to the font alias, not in the file list"
# Owned by root, nothing group- or world-writable, nothing outside /usr and /etc.
odd=$(grep -Ev '^[-dl]r.xr.xr.x root/root |^-rw-r--r-- root/root |^lrwxrwxrwx root/root ' <<<"$list" || true)
[ -z "$odd" ] || problem "expected root/root and no group- or world-writable entry, saw:"$'\n'"$odd"
outside=$(grep -Ev ' \./(usr/|etc/fonts/|etc/$|$)' <<<"$list" || true)
[ -z "$outside" ] || problem "expected nothing outside /usr and /etc/fonts, saw:"$'\n'"$outside"

# The installed program refers to nothing in the source or build folder.
mkdir "$out/root"
dpkg-deb -x "$deb" "$out/root"
for f in "$out"/root/usr/bin/*; do
  kind=$(file "$f")
  [[ $kind == *stripped* && $kind != *'not stripped'* ]] || problem "$(basename "$f"): expected stripped, saw \"$kind\""
  for dir in "$source" "$build"; do
    if grep -qaF "$(realpath "$dir")" "$f"; then problem "$(basename "$f"): expected no mention of $dir, found one"; fi
  done
done
page=$(zcat "$out/root/usr/share/man/man1/qinghe.1.gz")
grep -q '^\.TH QINGHE 1' <<<"$page" \
  || problem "manual page: expected a line \".TH QINGHE 1\", saw first: \"${page%%$'\n'*}\""

if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" || problem "lintian: expected no errors, saw status $? (its report above)"
else
  echo "lintian is not installed: package not checked by lintian"
fi

[ $fail -eq 0 ] && echo "package ok: $(basename "$deb")"
exit $fail

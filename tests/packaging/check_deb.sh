#!/usr/bin/env bash
# tests/packaging/check_deb.sh PACKAGE.deb VERSION [ARCHITECTURE]
#
# Checks the Debian package the GTK build makes for ARCHITECTURE (the build
# machine's by default; arm64 for the cross build): its control fields (the
# libraries dpkg-shlibdeps found, GTK 3 among them; a Japanese font
# recommended, since the program's message and chooser title are Japanese),
# its files (the screensaver hack for xscreensaver among them), owners and modes, the Debian forms of the manual page, copyright
# and changelog, a stripped program for that processor, and lintian's verdict:
# no error and no warning.
set -uo pipefail
deb=$1 version=$2 arch=${3:-$(dpkg --print-architecture)}
id=io.github.mottler.mottler
failed=0
fail() { echo "FAIL: $*"; failed=1; }

[[ $(basename "$deb") == "mottler_${version}_$arch.deb" ]] ||
  fail "$(basename "$deb") is not named mottler_${version}_$arch.deb"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == mottler ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version: $(field Version), not $version"
[[ $(field Architecture) == "$arch" ]] || fail "Architecture: $(field Architecture)"
[[ $(field Section) == graphics ]] || fail "Section: $(field Section)"
[[ $(field Maintainer) =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer: $(field Maintainer)"
depends=$(field Depends)
for library in libc6 libgtk-3-0 libglib2.0-0 libcairo2 libstdc++6; do
  [[ ,$depends, =~ [,\ ]"$library"[\ ,] ]] || fail "Depends lacks $library: $depends"
done
[[ $(field Recommends) == *fonts-ipafont-gothic* ]] || fail "Recommends no Japanese font: $(field Recommends)"
[[ -n $(field Description | sed -n 2p) ]] || fail "the description has no long text"

# Files: the installed tree under /usr with the Debian documents, all
# root's; nothing outside /usr.
listing=$(dpkg-deb -c "$deb")
sizes=(16 22 24 32 48 64 128 256)
paths=(
  ./usr/bin/mottler
  ./usr/libexec/xscreensaver/mottlescreen
  ./usr/share/xscreensaver/config/mottlescreen.xml
  ./usr/share/mottler/mottle.bmp
  "./usr/share/applications/$id.desktop"
  "./usr/share/metainfo/$id.metainfo.xml"
  ./usr/share/man/man1/mottler.1.gz
  ./usr/share/doc/mottler/copyright
  ./usr/share/doc/mottler/changelog.gz
)
for size in "${sizes[@]}"; do
  paths+=("./usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for path in "${paths[@]}"; do
  grep -q " $path\$" <<<"$listing" || fail "the package lacks $path"
done
files=$(grep -c '^-' <<<"$listing")
((files == ${#paths[@]})) || fail "the package has $files files, not ${#paths[@]}:"$'\n'"$(grep '^-' <<<"$listing")"
while read -r mode owner _ _ _ path; do
  [[ $owner == root/root ]] || fail "$path is owned by $owner"
  [[ $path == ./usr/* ]] || fail "$path is outside /usr"
  case $mode:$path in
    d*) [[ $mode == drwxr-xr-x ]] || fail "folder $path is $mode" ;;
    *:./usr/bin/mottler | *:./usr/libexec/xscreensaver/mottlescreen) [[ $mode == -rwxr-xr-x ]] || fail "$path is $mode" ;;
    *) [[ $mode == -rw-r--r-- ]] || fail "$path is $mode" ;;
  esac
done < <(grep -Ev '^d.* \./(usr/)?$' <<<"$listing")

# The contents that need a look inside.
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
for program in usr/bin/mottler usr/libexec/xscreensaver/mottlescreen; do
  file -b "$tree/$program" | grep -q ', stripped$' || fail "$program is not stripped: $(file -b "$tree/$program")"
  case $arch in
    amd64) machine=x86-64 ;;
    arm64) machine='ARM aarch64' ;;
    *) machine= ;;
  esac
  [[ -z $machine || $(file -b "$tree/$program") == *", $machine,"* ]] ||
    fail "$program is not built for $arch: $(file -b "$tree/$program")"
  ! readelf -S "$tree/$program" | grep -Eq ' \.(comment|note) ' || fail "$program keeps the compiler's notes"
done
docs=$tree/usr/share/doc/mottler
# Machine-readable copyright naming the MIT (Expat) licence for every file.
grep -qs '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' "$docs/copyright" ||
  fail "copyright is not in the machine-readable format"
if ! grep -qs '^Files: \*$' "$docs/copyright" || ! grep -qs '^License: Expat$' "$docs/copyright"; then
  fail "copyright does not put every file under the Expat (MIT) licence"
fi
# Compressed without a name or time stamp (gzip -n): the header's flags
# (byte 3) and time (bytes 4 to 7) are zero.
for gz in "$tree/usr/share/man/man1/mottler.1.gz" "$docs/changelog.gz"; do
  [[ $(od -An -tx1 -j3 -N5 "$gz" | tr -d ' \n') == 0000000000 ]] || fail "${gz#"$tree"} keeps a name or time"
done
zcat "$tree/usr/share/man/man1/mottler.1.gz" | grep -q '^\.TH MOTTLER 1 ' || fail "mottler.1.gz is not the manual page"
changelog_version=$(zcat "$docs/changelog.gz" | dpkg-parsechangelog -l - -S Version 2>&1)
[[ $changelog_version == "$version" ]] || fail "the changelog's newest entry is $changelog_version, not $version"

# lintian, on the package as Debian's archive would see it.
lintian --fail-on error,warning "$deb" >"$tree/lintian.txt" 2>&1
lintian_status=$?
grep -v '^running with root privileges' "$tree/lintian.txt"
((lintian_status == 0)) || fail "lintian found errors or warnings (status $lintian_status)"

((failed == 0)) && echo "$deb passes"
exit "$failed"

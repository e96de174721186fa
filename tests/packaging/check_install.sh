#!/usr/bin/env bash
# tests/packaging/check_install.sh BUILD SOURCE VERSION ID OUT   (CMAKE: the cmake to install with)
#
# Installs the GTK build BUILD with cmake --install under OUT/usr and checks
# the tree as the desktop and a packager see it: exactly the expected files
# with the expected modes, the program and its picture, the screensaver hack
# where xscreensaver looks for it with its description, icons of the sizes
# their folders name, a desktop entry and AppStream metadata that pass their
# validators and point at what is installed, a manual page man reads without
# a warning, and one release (version and day) in the metadata, the manual
# page and the changelog.
set -uo pipefail
build=$1 source=$2 version=$3 id=$4 out=$5
prefix=$out/usr
failed=0
fail() { echo "FAIL: $*"; failed=1; }

rm -rf "$out"
# Every install rule is in the default component. Installing it by name keeps
# the list of a user's own install (install_manifest.txt) as it was.
if ! "${CMAKE:-cmake}" --install "$build" --component Unspecified --prefix "$prefix" >/dev/null; then
  echo "FAIL: cmake --install $build"
  exit 1
fi

# Exactly these files: nothing of the build's other targets, nothing missing.
sizes=(16 22 24 32 48 64 128 256)
expected=(
  bin/mottler
  libexec/xscreensaver/mottlescreen
  share/xscreensaver/config/mottlescreen.xml
  "share/applications/$id.desktop"
  share/doc/mottler/LICENSE
  share/man/man1/mottler.1
  "share/metainfo/$id.metainfo.xml"
  share/mottler/mottle.bmp
)
for size in "${sizes[@]}"; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done
installed=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
wanted=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)
if [[ $installed != "$wanted" ]]; then
  fail "installed files differ from the expected ones:"
  diff <(echo "$wanted") <(echo "$installed")
fi

# Directories and the program 0755, every other file 0644.
while read -r mode path; do
  case $path in
    */bin/mottler | */libexec/xscreensaver/mottlescreen) [[ $mode == 755 ]] || fail "$path has mode $mode, not 755" ;;
    *) [[ $mode == 644 ]] || fail "$path has mode $mode, not 644" ;;
  esac
done < <(find "$prefix" -type f -printf '%m %p\n')
while read -r mode path; do
  [[ $mode == 755 ]] || fail "folder $path has mode $mode, not 755"
done < <(find "$prefix" -type d -printf '%m %p\n')

for program in bin/mottler libexec/xscreensaver/mottlescreen; do
  file -b "$prefix/$program" | grep -q '^ELF .* executable' ||
    fail "$program is not an executable: $(file -b "$prefix/$program")"
done
cmp -s "$source/packaging/linux/mottlescreen.xml" "$prefix/share/xscreensaver/config/mottlescreen.xml" ||
  fail "share/xscreensaver/config/mottlescreen.xml is not the hack's description"
cmp -s "$source/assets/mottle.bmp" "$prefix/share/mottler/mottle.bmp" ||
  fail "share/mottler/mottle.bmp is not the bundled picture"
cmp -s "$source/LICENSE" "$prefix/share/doc/mottler/LICENSE" ||
  fail "share/doc/mottler/LICENSE is not the licence"

# Each icon a PNG whose width and height (big-endian, bytes 16 to 23) are
# the size its folder names.
for size in "${sizes[@]}"; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
  [[ -f $icon ]] || continue
  signature=$(od -An -tx1 -N8 "$icon" | tr -d ' \n')
  read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$icon")
  width=$(( (w1 << 24) | (w2 << 16) | (w3 << 8) | w4 ))
  height=$(( (h1 << 24) | (h2 << 16) | (h3 << 8) | h4 ))
  [[ $signature == 89504e470d0a1a0a && $width == "$size" && $height == "$size" ]] ||
    fail "the ${size}x$size icon is ${width}x$height (signature $signature)"
done

# The desktop entry: valid, and what it starts and shows is installed.
desktop=$prefix/share/applications/$id.desktop
if output=$(desktop-file-validate "$desktop" 2>&1) && [[ -z $output ]]; then :; else
  fail "desktop-file-validate: $output"
fi
entry() { sed -n "s/^$1=//p" "$desktop"; }
exec_command=$(entry Exec)
[[ -x $prefix/bin/${exec_command%% *} ]] || fail "Exec=$exec_command is not an installed program"
icon_name=$(entry Icon)
for size in "${sizes[@]}"; do
  [[ -f $prefix/share/icons/hicolor/${size}x${size}/apps/$icon_name.png ]] ||
    fail "Icon=$icon_name has no ${size}x$size icon"
done

# The AppStream metadata: no finding at all, even a pedantic one, alone and
# with the tree around it (its desktop entry and icon).
metainfo=$prefix/share/metainfo/$id.metainfo.xml
for check in "validate --no-net --pedantic $metainfo" "validate-tree --no-net --pedantic $out"; do
  # shellcheck disable=SC2086  # the words of the check
  output=$(appstreamcli $check 2>&1)
  status=$?
  if ((status != 0)) || grep -Eq '^[EWIP]:' <<<"$output"; then
    fail "appstreamcli $check: $output"
  fi
done
grep -q "<id>$id</id>" "$metainfo" || fail "the metadata's id is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "the metadata does not launch $id.desktop"
grep -q '<project_license>MIT</project_license>' "$metainfo" || fail "the metadata names no MIT licence"
# The newest release is listed first.
release=$(grep -m1 -o '<release version="[^"]*" date="[^"]*"' "$metainfo")
release_version='' release_date=''
if [[ $release =~ version=\"([^\"]*)\"\ date=\"([^\"]*)\" ]]; then
  release_version=${BASH_REMATCH[1]} release_date=${BASH_REMATCH[2]}
fi
[[ $release_version == "$version" ]] ||
  fail "the metadata's newest release is ${release_version:-none}, the project's version $version"

# The manual page: man reads it without a warning, and it names the release.
manual=$prefix/share/man/man1/mottler.1
if output=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$manual" 2>&1 >/dev/null) &&
   [[ -z $output ]]; then :; else
  fail "man --warnings on mottler.1: $output"
fi
grep -q "^\.TH MOTTLER 1 \"$release_date\" \"mottler $version\"" "$manual" ||
  fail "mottler.1's header does not name release $version of $release_date: $(grep '^\.TH' "$manual")"

# The Debian changelog the package carries: its newest entry is the same
# release, made the same day.
changelog=$build/packaging/changelog
changelog_version=$(dpkg-parsechangelog -l "$changelog" -S Version 2>&1)
changelog_date=$(date -u -d "$(dpkg-parsechangelog -l "$changelog" -S Date 2>&1)" +%F 2>&1)
[[ $changelog_version == "$version" ]] ||
  fail "the changelog's newest entry is $changelog_version, the project's version $version"
[[ $changelog_date == "$release_date" ]] ||
  fail "the changelog's newest entry is of $changelog_date, the metadata's release of $release_date"

((failed == 0)) && echo "the installed tree under $prefix passes"
exit "$failed"

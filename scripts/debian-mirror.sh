#!/usr/bin/env bash
# scripts/debian-mirror.sh [APT_DIR [CODENAME]]
#
# Prints the address of the Debian archive this machine's apt sources already
# use, so that extra suites (backports, source packages) come from the same
# place. The entry taken is Debian's own: a binary ("deb") entry, enabled,
# serving suite CODENAME (the release's codename, bookworm on Debian 12) with
# component main, signed by Debian's archive key (or naming no key, so that
# apt's default keys, which are Debian's, apply). Third-party entries come
# with their own key and are passed over, however their files sort. Both
# source formats are read: APT_DIR/sources.list and sources.list.d/*.list
# (one line per entry), sources.list.d/*.sources (deb822 stanzas).
# Fails with a message saying what to add when no entry qualifies.
set -uo pipefail

apt_dir=${1:-/etc/apt}
codename=${2:-$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")}
codename=${codename:-bookworm}

files=()
[[ -f $apt_dir/sources.list ]] && files+=("$apt_dir/sources.list")
for file in "$apt_dir"/sources.list.d/*.list "$apt_dir"/sources.list.d/*.sources; do
  [[ -f $file ]] && files+=("$file")
done

found=
if ((${#files[@]} > 0)); then
  found=$(awk -v codename="$codename" '
    # Debian signs its archive with the keys of debian-archive-keyring; an
    # entry that names no key is checked against apt'"'"'s default keys.
    function debian_key(key) { return key == "" || key ~ /debian-archive-keyring/ }
    function has(list, word,   parts, n, i) {
      n = split(list, parts, /[ \t]+/)
      for (i = 1; i <= n; i++) if (parts[i] == word) return 1
      return 0
    }
    function stanza_end() {
      if (types != "" && enabled != "no" && has(types, "deb") && has(suites, codename) &&
          has(components, "main") && debian_key(signed) && uris != "") {
        split(uris, first, /[ \t]+/)
        print first[1]
        done = 1
        exit
      }
      types = uris = suites = components = signed = enabled = field = ""
    }
    FNR == 1 && NR > 1 && deb822 { stanza_end() }
    FNR == 1 { deb822 = FILENAME ~ /\.sources$/ }
    /^[ \t]*#/ { next }
    # One-line entries: deb [options] URI SUITE COMPONENT...
    !deb822 {
      line = $0
      sub(/#.*/, "", line)
      options = ""
      if (match(line, /\[[^]]*\]/)) {
        options = substr(line, RSTART + 1, RLENGTH - 2)
        line = substr(line, 1, RSTART - 1) substr(line, RSTART + RLENGTH)
      }
      n = split(line, word, /[ \t]+/)
      start = word[1] == "" ? 2 : 1
      if (word[start] != "deb" || word[start + 2] != codename) next
      key = ""
      if (match(options, /signed-by=[^ \t]+/)) key = substr(options, RSTART + 10, RLENGTH - 10)
      for (i = start + 3; i <= n; i++) {
        if (word[i] == "main" && debian_key(key)) { print word[start + 1]; done = 1; exit }
      }
      next
    }
    # deb822 stanzas: "Field: value", continued on indented lines, ended by
    # a blank line or the end of the file.
    /^[ \t]*$/ { stanza_end(); next }
    /^[ \t]/ { if (field == "signed-by") signed = signed " " $0; next }
    {
      field = tolower(substr($0, 1, index($0, ":") - 1))
      value = substr($0, index($0, ":") + 1)
      gsub(/^[ \t]+|[ \t]+$/, "", value)
      if (field == "types") types = value
      else if (field == "uris") uris = value
      else if (field == "suites") suites = value
      else if (field == "components") components = value
      else if (field == "signed-by") signed = value
      else if (field == "enabled") enabled = tolower(value)
    }
    END { if (!done && deb822) stanza_end() }
  ' "${files[@]}")
fi

if [[ -z $found ]]; then
  cat >&2 <<EOF
debian-mirror: no apt source in $apt_dir serves Debian's "$codename" suite with
component main. Add Debian's archive, for instance as
$apt_dir/sources.list.d/debian.sources:

Types: deb
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

then run apt-get update and try again.
EOF
  exit 1
fi
echo "$found"

#!/usr/bin/env bash
# scripts/check-sanitized.sh BUILD_DIR
#
# Checks that a sanitizer build really is one: every compile command of the
# build carries the address and undefined-behaviour sanitizers with recovery
# off, and every executable it made is linked with both runtimes. The build
# must have been configured with -DCMAKE_EXPORT_COMPILE_COMMANDS=ON.
set -euo pipefail
dir=${1:?usage: scripts/check-sanitized.sh BUILD_DIR}
commands="$dir/compile_commands.json"
[[ -f "$commands" ]] || { echo "no $commands" >&2; exit 1; }

failed=0
total=$(grep -c '"command"' "$commands" || true)
((total > 0)) || { echo "$commands lists no compile commands" >&2; exit 1; }
for flag in -fsanitize=address,undefined -fno-sanitize-recover=all; do
  with=$(grep '"command"' "$commands" | grep -c -- "$flag" || true)
  if ((with != total)); then
    echo "$((total - with)) of $total compile commands lack $flag:" >&2
    grep '"command"' "$commands" | grep -v -- "$flag" | sed 's/^/  /' >&2
    failed=1
  fi
done

executables=0
while IFS= read -r program; do
  head -c 4 "$program" | grep -q 'ELF' || continue
  executables=$((executables + 1))
  needed=$(readelf -d "$program" 2>/dev/null | grep NEEDED || true)
  for runtime in libasan libubsan; do
    if ! grep -q "$runtime" <<<"$needed"; then
      echo "$program is not linked with $runtime" >&2
      failed=1
    fi
  done
done < <(find "$dir" -path '*/CMakeFiles' -prune -o -type f -perm -u+x -print)
((executables > 0)) || { echo "no executables found in $dir" >&2; exit 1; }
((failed == 0)) && echo "sanitizers on in all $total compile commands and $executables executables"
exit "$failed"

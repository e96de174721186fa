#!/usr/bin/env bash
# scripts/serve-page.sh (./run.sh --web)
#
# Builds the page, build/web/mottler.html, and serves its folder on this
# machine's loopback address, printing the page's address, until Ctrl+C.
# Without a display (no DISPLAY set) it takes a screenshot of the page in
# headless Chromium instead, prints its path and stops serving.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/install-deps.sh run-web
export NODE_PATH=/usr/share/nodejs  # Emscripten's own tools' modules
[[ -f build/web/CMakeCache.txt ]] || emcmake cmake -S . -B build/web -DBUILD_TESTING=OFF >/dev/null
cmake --build build/web --target mottler_page -j "$(nproc)" >/dev/null

# The first free port from 8080 on.
port=8080
while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do
  port=$((port + 1))
done
address=http://127.0.0.1:$port/mottler.html
if [[ -n ${DISPLAY:-} ]]; then
  echo "MOTTLER is at $address (Ctrl+C stops serving it)"
  exec python3 -m http.server --bind 127.0.0.1 --directory build/web "$port"
fi

python3 -m http.server --bind 127.0.0.1 --directory build/web "$port" >/dev/null 2>&1 &
server=$!
profile=$(mktemp -d)
trap 'kill "$server" 2>/dev/null || true; rm -rf "$profile"' EXIT
deadline=$((SECONDS + 30))
until (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || ((SECONDS >= deadline)); do
  sleep 0.2
done
echo "MOTTLER is at $address"
screenshot=$root/build/mottler-web-screenshot.png
# No display and no desktop services: a browser of its own, with nothing to
# reach but this machine.
chromium --headless --no-sandbox --disable-gpu --disable-background-networking --no-first-run \
  --disable-component-update --disable-sync --user-data-dir="$profile" --window-size=1024,768 \
  --screenshot="$screenshot" "$address" >/dev/null 2>&1
echo "$screenshot"

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
trap 'kill "$server" 2>/dev/null || true' EXIT
deadline=$((SECONDS + 30))
until (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || ((SECONDS >= deadline)); do
  sleep 0.2
done
echo "MOTTLER is at $address"
screenshot=$root/build/mottler-web-screenshot.png
# No display and no desktop services: a browser of its own, driven by
# Playwright (npm ci installs it), since the program starts after the page
# has loaded, when Chromium's own --screenshot has already taken its picture.
node scripts/page-screenshot.js "$address" "$screenshot"
echo "$screenshot"

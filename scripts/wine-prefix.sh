#!/usr/bin/env bash
# Makes the Wine prefix the Windows tests and ./run.sh share, if missing.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
mottler_ensure_prefix

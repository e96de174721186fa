#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's prefix and ends with the
# program's exit status. CTest runs the cross-built test programs through it.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
mottler_ensure_prefix
wine "$@"

#!/usr/bin/env bash
# Prints the Debian archive this machine's apt sources already use, so that
# extra suites (backports, source packages) come from the same place.
set -euo pipefail
{
  grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}'
  grep -hs '^deb ' /etc/apt/sources.list | sed -E 's/^deb (\[[^]]*\] )?([^ ]+).*/\2/'
} | grep -v -- '-security' | head -n 1

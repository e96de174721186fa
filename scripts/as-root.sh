# Sourced by the installer scripts: as_root COMMAND... runs a command as root,
# directly when already root, otherwise through sudo without a password
# prompt (sudo -n), so that an unattended run without root stops at once with
# a clear message instead of waiting for a password nobody will type.
as_root() {
  if [[ $(id -u) -eq 0 ]]; then
    "$@"
    return
  fi
  if ! command -v sudo >/dev/null 2>&1 || ! sudo -n true 2>/dev/null; then
    echo "$(basename "$0"): needs root to run: $*" >&2
    echo "Run it as root, or where sudo works without a password." >&2
    exit 1
  fi
  sudo -n "$@"
}

# Shared by the build scripts; sourced, not run.

# Installs the Debian packages of the arguments that are not installed yet (as root or with sudo).
install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "Installing: ${missing[*]}"
  local sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
}

# Sets launcher=(...) to the CMake option that compiles through ccache, where the machine has
# it, so several work trees share their objects; empty otherwise. $1 is the source tree.
set_launcher() {
  launcher=()
  if command -v ccache >/dev/null 2>&1; then
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$1}"
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
}

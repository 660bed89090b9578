# Sourced by the other scripts: makes sure the Debian packages the build needs
# are installed, installing them when run as root.
QV_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libffi-dev libsqlite3-dev sqlite3
  python3-olefile libgsf-bin
)

qv_ensure_packages() {
  local missing=()
  for package in "${QV_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq --no-install-recommends "${missing[@]}"
  else
    echo "These Debian packages are missing; install them as root and run again:" >&2
    echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
    return 1
  fi
}

# Installs Debian packages that are missing; quiet and quick when everything is there.
ensure_packages() {
  local missing=()
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  if [ -z "${KORVEX_APT_UPDATED:-}" ]; then
    $sudo apt-get update -qq
    export KORVEX_APT_UPDATED=1
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# What every build of the configurator needs. The DejaVu fonts are what the font-fallback test
# renders with, as a desktop without Arial or Liberation Sans would.
KORVEX_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libudev-dev
                       qt6-base-dev fonts-liberation fonts-dejavu-core nlohmann-json3-dev libcli11-dev)

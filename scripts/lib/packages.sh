# Debian packages the project needs to build, test and run, and a function
# that installs the missing ones. Sourced by scripts/test and scripts/demo.

ER_PACKAGES=(
  g++ make cmake pkg-config
  qtbase5-dev qtbase5-dev-tools
  libgtest-dev libgmock-dev googletest
  tzdata python3 python3-vobject python3-icalendar
  clang libclang-rt-14-dev
  qtwebengine5-dev libqt5svg5-dev libkf5mime-dev libkf5contacts-dev libkf5calendarcore-dev
  xvfb xauth fonts-dejavu-core valgrind
)

er_install_missing_packages() {
  local missing=()
  local pkg
  for pkg in "${ER_PACKAGES[@]}"; do
    if [ "$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)" != "install ok installed" ]; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
      sudo=(sudo)
    else
      echo "error: these packages are missing and this user cannot install them: ${missing[*]}" >&2
      return 1
    fi
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# er_build DIR [extra cmake arguments...]
er_build() {
  local build_dir=$1
  shift
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" \
    && cmake --build "$build_dir" -j"$(nproc)"
}

# One build for the sanitizer suite and the fuzz targets: clang,
# AddressSanitizer and UndefinedBehaviorSanitizer, libFuzzer, the window left
# out; the core is compiled once for both. Each fuzz target runs for the
# given number of seconds over its seed corpus (CTest entries fuzz_*).
er_build_sanitized() {
  local seconds=$1
  er_build build-sanitizers -DCMAKE_CXX_COMPILER=clang++ -DER_SANITIZE=ON -DER_BUILD_FUZZ=ON -DER_BUILD_GUI=OFF \
    -DER_BUILD_BENCH=OFF -DER_FUZZ_SECONDS="$seconds"
}

# Shared by the scripts: where the tree is, and installing what is missing.

TAMBERLYX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
TAMBERLYX_BUILD=${TAMBERLYX_BUILD:-$TAMBERLYX_ROOT/build}

# Installs the Debian packages given that are not installed yet; silent when
# everything is there.
ensure_packages() {
  local missing=()
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# What every build of the library and its tests needs on Linux.
LINUX_PACKAGES=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev openjdk-17-jdk-headless junit5)

# What the Windows DLL and its tests under Wine need besides: the mingw-w64
# cross compiler (POSIX threads), GoogleTest's sources for it to build, and
# Wine to run the results.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest wine64 wine)

# What the jar's test needs besides: Maven and the plugins an application
# project builds and tests with (install, compiler, resources, jar, Surefire
# with its JUnit 5 provider), all from the system's own Maven repository.
PACKAGE_PACKAGES=(maven libmaven-install-plugin-java libmaven-compiler-plugin-java libmaven-resources-plugin-java
  libmaven-jar-plugin-java libsurefire-java unzip)

# What the fuzz targets need besides: clang with libFuzzer and the
# sanitizer runtimes.
FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)
FUZZ_TARGETS=(walk text record bench umockdev sysfs)

# Runs a command with its output set aside; shows the output only when the
# command fails, and fails with it.
quietly() {
  local log status=0
  log=$(mktemp)
  "$@" >"$log" 2>&1 || status=$?
  [ $status -ne 0 ] && cat "$log" >&2
  rm -f "$log"
  return $status
}

# Configures a build from its preset in CMakePresets.json (linux, sanitize,
# windows), in the build directory given, with any further cache settings.
configure() {
  local preset=$1 dir=$2
  shift 2
  (cd "$TAMBERLYX_ROOT" && cmake --preset "$preset" -B "$dir" "$@" >/dev/null)
}

configure_and_build() {
  local preset=$1 dir=$2
  shift 2
  configure "$preset" "$dir" "$@"
  cmake --build "$dir" -j "$(nproc)"
}

# The fuzz targets: a CMake project of their own (tests/fuzz, its preset
# "fuzz"), built with clang; how long ctest fuzzes each target is the second
# argument (seconds).
configure_and_build_fuzz() {
  local dir=$1
  local seconds=${2:-20}
  (cd "$TAMBERLYX_ROOT/tests/fuzz" && cmake --preset fuzz -B "$dir" -DTAMBERLYX_FUZZ_SECONDS="$seconds" >/dev/null)
  cmake --build "$dir" -j "$(nproc)"
}

# Shared by the scripts in scripts/: package lists, installation and the build.

# What building the program needs.
TARN_BUILD_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libcurl4-openssl-dev libssl-dev nlohmann-json3-dev libexpat1-dev libsecret-1-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-multimedia-dev qt6-pdf-dev qcoro-qt6-dev
)
# What the program needs at run time beyond its libraries: image formats (WebP, TIFF),
# GStreamer for audio and video, the CJK font (with its monospaced face, the text
# preview's), the colour emoji font (object names with emoji) and Qt's own
# translations.
TARN_RUN_PACKAGES=(
  qt6-image-formats-plugins qt6-translations-l10n fonts-noto-cjk fonts-noto-color-emoji
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
)
# What the local S3 server (moto) needs when no python3 on PATH has it: Python, to
# make the scripts' private environment for it (scripts/lib/s3-server.sh).
TARN_SERVER_PACKAGES=(python3 python3-venv)
# What `scripts/run --demo` needs beyond that: the keyring on a bus of its own.
TARN_DEMO_PACKAGES=(gnome-keyring dbus "${TARN_SERVER_PACKAGES[@]}")
# What the tests and benchmarks need beyond that, with the validators of the
# installed desktop entry and AppStream file.
TARN_TEST_PACKAGES=(
  libgtest-dev libgmock-dev libbenchmark-dev
  gnome-keyring libsecret-tools dbus
  desktop-file-utils appstream
)

log() { printf '[tarn] %s\n' "$*" >&2; }
die() { printf '[tarn] error: %s\n' "$*" >&2; exit 1; }

# Installs the Debian packages that are not installed yet: as root directly,
# otherwise through sudo without a password prompt (there is no stdin in CI).
ensure_packages() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ "${#missing[@]}" -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null && sudo -n true 2>/dev/null \
      || die "packages are missing (${missing[*]}) and this user cannot install them: run as root or with passwordless sudo."
    sudo=(sudo -n)
  fi
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq </dev/null
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
}

# Our own builds hold the code to its warnings; the option's default (off) is for others.
build_project() {
  cmake -S "$root" -B "$root/build" -G Ninja -DTARN_WARNINGS_AS_ERRORS=ON >/dev/null
  cmake --build "$root/build" --parallel "$(nproc)"
}

# The build a user runs: optimised, without the tests and benchmarks, and with
# warnings reported rather than fatal (the option's default).
build_release() {
  cmake -S "$root" -B "$root/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTARN_BUILD_TESTS=OFF -DTARN_BUILD_BENCH=OFF >/dev/null
  cmake --build "$root/build-release" --parallel "$(nproc)"
}

# stop_pid PID: stops a process this shell started (nothing for an empty PID) and
# waits for it.
stop_pid() {
  [ -n "${1:-}" ] || return 0
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# wait_for DESCRIPTION SECONDS COMMAND...: retries COMMAND every 0.2 s until it
# succeeds or the time is up.
wait_for() {
  local what=$1 seconds=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      log "gave up waiting for $what after $seconds s"
      return 1
    fi
    sleep 0.2
  done
}

#!/usr/bin/env bash
# Installs every Debian package Scenemark needs to build, run and test.
# Idempotent and non-interactive: does nothing when everything is present,
# otherwise runs `apt-get update` once and installs what is missing.
set -euo pipefail

PACKAGES=(
  # toolchain and test frameworks
  build-essential cmake pkg-config clang
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # the Prolog export's test consults the files it writes
  swi-prolog-nox
  # locale data: a test imports under de_DE.UTF-8 (generated below)
  locales
  # user interface
  qt6-base-dev qt6-multimedia-dev fonts-dejavu-core
  # media backends
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev libavfilter-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base
  gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-libav gstreamer1.0-tools
  # audio output
  portaudio19-dev libasound2-dev libjack-jackd2-dev
  # project documents and imports
  libxml2-dev
  # screenshots of the running editor
  xvfb xauth imagemagick x11-apps
)

# The import tests run once under a locale whose decimal separator is ",".
ensure_test_locale() {
  if locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then return 0; fi
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "Could not generate de_DE.UTF-8; its test will be skipped."
}

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  ensure_test_locale
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=300 "${missing[@]}"
ensure_test_locale

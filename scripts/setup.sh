#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing the program needs.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libgl-dev libssl-dev
  # the name order's per-character table, from the collation library the toolkit uses
  libicu-dev
  # CardDAV sync: HTTP and the WebDAV XML
  libcurl4-openssl-dev libxml2-dev
  # passwords in the desktop's keyring (the Secret Service)
  libsecret-1-dev
  # the toolkit's own dialogs in Spanish
  qt6-translations-l10n
  libgtest-dev libgmock-dev libbenchmark-dev
  # fuzzing (libFuzzer ships with clang's runtime)
  clang-14 libclang-rt-14-dev
  # the formatting and function-size checks of the test command
  clang-format-14 clang-tidy-14
  # running the window: the SVG plugin for the program's icon, icons, fonts, a headless X
  # server for screenshots and window tests
  libqt6svg6 tango-icon-theme fonts-dejavu-core fontconfig xvfb xauth
  # what a screen reader sees: the accessibility bus and its Python client
  at-spi2-core dbus-x11 python3-pyatspi
  # tests against peers nobody here wrote
  python3 python3-aiosmtpd python3-vobject abook poppler-utils locales openssl msmtp
  # the sync's test server and the second client that checks it
  radicale vdirsyncer
  # a Secret Service of the tests' own, and a second program that reads what it keeps
  gnome-keyring libsecret-tools dbus-daemon
  # the Debian package and the checks of what an installation gives a desktop
  dpkg-dev lintian desktop-file-utils appstream libxml2-utils shared-mime-info
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Japanese mail tests switch to a Japanese locale; generate it once if the system lacks it.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  if [ -f /etc/locale.gen ]; then
    $SUDO sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    grep -q '^es_ES.UTF-8 UTF-8' /etc/locale.gen || echo 'es_ES.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
  fi
fi

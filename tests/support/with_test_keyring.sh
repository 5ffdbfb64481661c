#!/usr/bin/env bash
# Runs a command in a desktop session of its own, so that no test ever reaches a user's
# keyring: a temporary home and data folders, no display, and one of
#   --keyring  a session bus with GNOME Keyring, its test keyring unlocked (password "test")
#   --bus      a session bus that starts no services: a desktop without a keyring
#   --none     no session bus at all: a bare session, as in CI
# VELDRANO_TEST_KEYRING names the mode for the tests, which refuse to run without it.
#   with_test_keyring.sh MODE COMMAND [ARGS...]
set -euo pipefail
mode=$1
shift
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config
export XDG_CACHE_HOME=$home/cache XDG_RUNTIME_DIR=$home/run
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS GNOME_KEYRING_CONTROL
export VELDRANO_TEST_KEYRING=${mode#--}

case $mode in
--keyring)
  # The daemon unlocks (and first creates) the login keyring with the password on its input,
  # and becomes the default collection: nothing ever prompts.
  dbus-run-session -- bash -c \
    'echo -n test | gnome-keyring-daemon --unlock --components=secrets >/dev/null && "$@"' \
    keyring "$@"
  ;;
--bus)
  cat >"$home/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$XDG_RUNTIME_DIR</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
  dbus-run-session --config-file="$home/bus.conf" -- "$@"
  ;;
--none)
  "$@"
  ;;
*)
  echo "with_test_keyring.sh: unknown mode $mode" >&2
  exit 2
  ;;
esac

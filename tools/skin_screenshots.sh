#!/usr/bin/env bash
# Screenshots of the About window, each message dialog, the scroll bars and the folder bar,
# taken on a private Xvfb so the shaped outlines show against the desktop.
#   tools/skin_screenshots.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
out="${2:-$root/docs/screenshots}"
mkdir -p "$out"
tmp="$(mktemp -d)"
trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$tmp"' EXIT
exec 3>"$tmp/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -wr >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$tmp/display")"
export XDG_CONFIG_HOME="$tmp/config" XDG_RUNTIME_DIR="$tmp/runtime" ORV_BUS_DIR="$tmp/bus" QT_QPA_PLATFORM=xcb
mkdir -p "$tmp/runtime" "$tmp/bus"
chmod 700 "$tmp/runtime"
conf="$tmp/config/Veltrix/Orvandel Tidefall MMO Gaming Mouse/Conf"
mkdir -p "$conf"
# A mouse with firmware 2.04, as the agent would have written it.
printf '<?xml version="1.0" encoding="utf-8"?>\r\n<root>\r\n<FW_VERSION>204</FW_VERSION>\r\n<SOFTWARE_VERSION>115</SOFTWARE_VERSION>\r\n</root>\r\n' \
  >"$conf/FWVersion.xml"
view="$build/bin/orvskinview"
"$view" ABOUT --grab "$out/about.png"
"$view" WARNING_ONE --message "Please reduce Macro Size." --grab "$out/warning_one.png"
"$view" WARNING_ONE_PDF --grab "$out/warning_one_pdf.png"
"$view" WARNING_TWO --message "Do you want to save the changes made to this profile before switching?" \
  --grab "$out/warning_two.png"
"$view" WARNING_TWO_COUNTDOWN --message "Keep the new lift distance?" --grab "$out/warning_two_countdown.png"
"$view" WARNING_THREE --grab "$out/warning_three.png"
"$view" WARNING_THREE2 --grab "$out/warning_three2.png"
"$view" WARNING_FOUR --grab "$out/warning_four.png"
"$view" SCROLL --grab "$out/scroll_bars.png"
"$view" FOLDERS --grab "$out/folder_bar.png"

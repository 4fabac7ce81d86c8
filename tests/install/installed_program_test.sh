#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR, checks the desktop entry and the AppStream data
# with their validators, makes the installed tree read-only and starts the installed program on
# a virtual display with a fresh HOME against the installed demo service: the window appears
# with the application icon, the card picture reaches the per-user data folder, and a search
# typed into the window fills the result list.
#   installed_program_test.sh BUILD_DIR APP_ID
set -euo pipefail
build=$1
id=$2

work=$(mktemp -d /tmp/corvale-installed.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  chmod -R u+w "$work" && rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for log in "$work"/*.log; do [ -s "$log" ] && { echo "--- $log"; tail -n 20 "$log"; } >&2; done
  exit 1
}
# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local seconds=$1
  shift
  for _ in $(seq $((seconds * 5))); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}

# 1. The installed tree.
root=$work/root
DESTDIR=$root "${CMAKE:-cmake}" --install "$build" --prefix /usr >"$work/install.log"
prefix=$root/usr
for file in bin/corvale bin/corvale-demo-service share/corvale/pic/0103.jpg \
  share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
  share/icons/hicolor/scalable/apps/$id.svg share/doc/corvale/copyright \
  share/man/man1/corvale.1.gz; do
  [ -e "$prefix/$file" ] || fail "not installed: $file"
done
for size in 48 128; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
  [ "$(identify -format '%wx%h' "$png")" = "${size}x${size}" ] || fail "$png is not $size px"
done
desktop=$prefix/share/applications/$id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
grep -qx "Exec=corvale" "$desktop" && grep -qx "Icon=$id" "$desktop" ||
  fail "the desktop entry does not start corvale with the icon $id"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >"$work/appstream.log" ||
  fail "appstreamcli rejects the metadata"
# Help and version need no display; both end with 0.
version=$(env -i PATH=/usr/bin:/bin "$prefix/bin/corvale" --version) && [[ $version =~ ^corvale\ [0-9.]+$ ]] ||
  fail "corvale --version: $version"
help=$(env -i PATH=/usr/bin:/bin "$prefix/bin/corvale" --help) && [[ $help == "usage: corvale "* ]] ||
  fail "corvale --help: $help"

chmod -R a-w "$root"
find "$root" | sort >"$work/tree-before"

# 2. The installed demo service; it ends when this script's end of its input closes.
mkfifo "$work/service-input"
"$prefix/bin/corvale-demo-service" --port 0 --until-stdin-closes \
  <"$work/service-input" >"$work/service.log" 2>&1 &
pids+=($!)
exec 3>"$work/service-input"
wait_for 20 grep -q 'listening on' "$work/service.log" || fail "the demo service did not start"
host=$(sed -nE 's/.*listening on ([^ ]+).*/\1/p' "$work/service.log" | head -n 1)

# 3. A virtual display, and the installed program on it with a fresh HOME. Nothing of the build
# tree or of the system's data folders leads it to its data.
Xvfb -displayfd 4 -screen 0 1024x768x24 -nolisten tcp 4>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_for 20 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n 1 "$work/display")"
home=$work/home
mkdir -p "$home" "$work/runtime"
chmod 700 "$work/runtime"
installed=(env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME="$home" DISPLAY="$DISPLAY"
  QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime" "$prefix/bin/corvale")
status=0
"${installed[@]}" --no-such-option 2>"$work/usage.log" || status=$?
[ $status -eq 2 ] && grep -q '^usage: corvale ' "$work/usage.log" ||
  fail "an unknown option ended with $status"
"${installed[@]}" --service-host "$host" >"$work/program.log" 2>&1 &
program=$!
pids+=($program)

window=$(timeout 90 xdotool search --sync --onlyvisible --name '^Corvale$' | head -n 1) ||
  fail "no Corvale window appeared"
kill -0 "$program" 2>/dev/null || fail "the program ended"
# The window carries the application icon in both sizes.
icons=$(xprop -id "$window" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | sort -u | xargs)
[ "$icons" = "Icon (128 x 128) Icon (48 x 48)" ] || fail "the window icon is not ours: $icons"

data=$home/.local/share/Corvale
cmp -s "$data/pic/0103.jpg" "$prefix/share/corvale/pic/0103.jpg" ||
  fail "the card picture was not found: $data/pic/0103.jpg"
# Songs go to the user's Music folder, not into the hidden data folder.
[ -d "$home/Music/Corvale" ] || fail "no Corvale folder in $home/Music"
[ ! -e "$data/music" ] || fail "a music folder in the hidden $data"

# 4. A search typed into the window (the focus starts in the search box; Enter searches). The
# program asks for the second result page only after the first one added rows to the list.
timeout 20 xdotool windowfocus --sync "$window" || fail "the window cannot take the focus"
xdotool type --delay 40 corvale
xdotool key Return
second_page() { curl -sf "http://$host/log" | grep -q '^GET /m?.*word=corvale&pn='; }
wait_for 90 second_page ||
  fail "the search did not fill the list; the service saw:
$(curl -sf "http://$host/log" | grep -v '^GET /log ')"

kill -0 "$program" 2>/dev/null || fail "the program ended"
find "$root" | sort | cmp -s - "$work/tree-before" || fail "the program wrote into its prefix"
echo "installed program: window, icon, picture and search ok"

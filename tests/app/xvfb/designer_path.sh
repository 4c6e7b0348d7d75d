#!/usr/bin/env bash
# One whole path of a lens designer through the built program on a virtual X display with a
# window manager (openbox), at 1600 x 1000: a lens opened from the File menu through its file
# dialog, listed, a radius of the surface sheet changed by keys only, the sheet closed with its
# OK button, the lens saved with Ctrl+S and the program ended by "exit" with status 0. The saved
# file must hold the new radius. Profile, data folder and lens live in a temporary folder.
# Usage: designer_path.sh <built tavolt>. Exit 77 (skipped) when the X tools are missing or the
# X server cannot start. TAVO_KEEP_SCREENSHOTS=<folder> keeps the screenshots.
set -uo pipefail
program="$1"
[[ -x "$program" ]] || { echo "FAILED: no program $program"; exit 1; }
for tool in Xvfb openbox xdotool import convert timeout; do
    command -v "$tool" > /dev/null 2>&1 || { echo "skipped: $tool is missing"; exit 77; }
done
work="$(mktemp -d)"
server=""
wm=""
pid=""
finish() {
    [[ -n "$pid" ]] && kill "$pid" 2> /dev/null
    [[ -n "$wm" ]] && kill "$wm" 2> /dev/null
    [[ -n "$server" ]] && kill "$server" 2> /dev/null
    if [[ -n "${TAVO_KEEP_SCREENSHOTS:-}" ]]; then
        mkdir -p "$TAVO_KEEP_SCREENSHOTS" && cp "$work"/*.png "$TAVO_KEEP_SCREENSHOTS"/ 2> /dev/null
    fi
    rm -rf "$work"
}
trap finish EXIT

mkdir -p "$work/data" "$work/lenses"
printf '[TAVO LT 5.40]\nTVDATA=%s\n' "$work/data" > "$work/profile.ini"
export TAVO_PROFILE="$work/profile.ini"
unset TAVO_UI QT_QPA_PLATFORM
lens="$work/lenses/path.len"
cat > "$lens" <<'LENS'
// TAVO 5.40 0 0 0
LEN NEW "Designer path" 0 3
EBR 5
NXT
RD 50
TH 5
GLA N-BK7
NXT
RD -50
TH 95
NXT
END 3
LENS

# The X server picks a free display and names it.
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
server=$!
for _ in $(seq 1 100); do
    [[ -s "$work/display" ]] && break
    sleep 0.1
done
exec 3>&-
if [[ ! -s "$work/display" ]] || ! kill -0 "$server" 2> /dev/null; then
    echo "skipped: Xvfb could not start"
    cat "$work/xvfb.log"
    exit 77
fi
export DISPLAY=":$(head -1 "$work/display")"
openbox > "$work/openbox.log" 2>&1 &
wm=$!

step() { echo "-- $*"; }
fail() {
    echo "FAILED: $*"
    import -window root "$work/failed.png" 2> /dev/null
    tail -30 "$work/program.out" 2> /dev/null
    exit 1
}
# Polls until a visible window whose name matches appears: its id, or failure.
wait_window() {
    local id
    id="$(timeout "${2:-30}" xdotool search --sync --onlyvisible --name "$1" 2> /dev/null | head -1)"
    [[ -n "$id" ]] || fail "no window named '$1'"
    echo "$id"
}
# Polls until a condition holds (up to 20 s).
wait_for() {
    for _ in $(seq 1 100); do
        eval "$1" && return 0
        sleep 0.2
    done
    fail "$2"
}
shot() { import -window root "$work/$1.png"; }
# A message box (titled as the program, where the frame adds the lens) means a step failed.
no_message_box() {
    if [[ -n "$(xdotool search --onlyvisible --name '^TAVO LT$' 2> /dev/null)" ]]; then
        fail "a message box is open"
    fi
}

"$program" > "$work/program.out" 2>&1 &
pid=$!
# The frame's caption names the program and what it holds; the splash and message boxes name
# the program alone.
frame="$(wait_window '^TAVO LT - ' 90)"
sleep 1.5  # the splash ends after a second
xdotool windowactivate --sync "$frame" 2> /dev/null || true
shot started

step "open the lens from the File menu"
xdotool key --window "$frame" --clearmodifiers alt+f
sleep 0.5
shot file_menu
xdotool key --clearmodifiers o
dialog="$(wait_window '^Open')"
sleep 0.5
shot open_dialog
xdotool type --delay 20 "$lens"
xdotool key Return
wait_for '[[ -z "$(xdotool search --onlyvisible --name "^Open" 2> /dev/null)" ]]' \
    "the file dialog stayed open"
# Found again by its caption: the frame's window is not kept by its id across the opening.
wait_for '[[ -n "$(xdotool search --onlyvisible --name "Designer path" 2> /dev/null)" ]]' \
    "the frame does not name the opened lens"

step "list it"
xdotool type --delay 30 "list_radii"
xdotool key Return
sleep 1
shot listed
no_message_box

step "change the radius of surface 1 in the sheet by keys"
xdotool type --delay 30 "surface_sheet"
xdotool key Return
sleep 1.5
shot sheet
no_message_box
# The sheet starts on its first cell, the beam radius; Down goes to the wavelength's button,
# then to the thicknesses of surfaces 0 and 1; Left twice passes the radius's button to the
# radius of surface 1, whose value the command line then offers selected.
xdotool key Down Down Down Left Left
sleep 0.5
xdotool type --delay 30 "62.5"
xdotool key Return
sleep 1
shot edited
no_message_box

step "OK in the sheet's strip"
# The OK picture's green tick, found on the screen.
import -window root "$work/before_ok.png"
ok="$(convert "$work/before_ok.png" txt:- | awk -F'[:,() ]+' '
    NR > 1 && $4 > 100 && $3 < 60 && $5 < 60 { x += $1; y += $2; n++ }
    END { if (n > 10) printf "%d %d\n", x / n, y / n }')"
[[ -n "$ok" ]] || fail "no OK button on the screen"
read -r ok_x ok_y <<< "$ok"
xdotool mousemove --sync "$ok_x" "$ok_y" click 1
sleep 1
shot after_ok

step "save with Ctrl+S"
xdotool key --clearmodifiers ctrl+s
wait_for 'grep -Eq "^RD +62\.5\b" "$lens"' "the saved lens does not hold the new radius"
shot saved

step "exit"
xdotool type --delay 30 "exit"
xdotool key Return
status=124
for _ in $(seq 1 100); do
    if ! kill -0 "$pid" 2> /dev/null; then
        wait "$pid"
        status=$?
        break
    fi
    sleep 0.2
done
pid_left="$pid"
pid=""
if [[ $status -eq 124 ]]; then
    kill "$pid_left" 2> /dev/null
    fail "the program did not end"
fi
[[ $status -eq 0 ]] || fail "the program ended with status $status"
grep -Eq "^RD +62\.5$" "$lens" || { cat "$lens"; fail "surface 1's radius is not 62.5 in the file"; }
grep -Eq "^RD +-50\.0$" "$lens" || { cat "$lens"; fail "surface 2's radius changed"; }
grep -Eq "^TH +5\.0$" "$lens" || { cat "$lens"; fail "surface 1's thickness changed"; }
echo "passed"

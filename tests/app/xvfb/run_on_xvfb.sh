#!/usr/bin/env bash
# The program as a user starts it: the built program on a virtual X display (no window manager)
# with a temporary profile and data folder. It runs the program already built, never ./run.sh,
# which would rebuild the build folder while other tests run from it. The frame must show something (its screenshot is not one
# colour), "exit" typed on the command line with Enter must end it with status 0, and the
# settings file "tavo.ini" must be written into the data folder.
# Usage: run_on_xvfb.sh <built tavolt>. Exit 77 (skipped) when the X tools are missing.
set -uo pipefail
program="$1"
[[ -x "$program" ]] || { echo "FAILED: no program $program"; exit 1; }
for tool in xvfb-run xdotool import convert; do
    command -v "$tool" > /dev/null 2>&1 || { echo "missing $tool"; exit 77; }
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/data"
printf '[TAVO LT 5.40]\nTVDATA=%s\n' "$work/data" > "$work/profile.ini"
export TAVO_PROFILE="$work/profile.ini"
unset TAVO_UI QT_QPA_PLATFORM

cat > "$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -uo pipefail
"$PROGRAM" > "$WORK/program.out" 2>&1 &
pid=$!
frame=""
for _ in $(seq 1 300); do
    frame="$(xdotool search --onlyvisible --name '^TAVO LT' 2>/dev/null | head -1)"
    [[ -n "$frame" ]] && break
    sleep 0.2
done
if [[ -z "$frame" ]]; then
    echo "no frame window appeared"
    kill "$pid" 2> /dev/null
    exit 1
fi
sleep 2  # the splash ends after a second
import -window root "$WORK/screen.png"
eval "$(xdotool getwindowgeometry --shell "$frame")"
# The frame's inside, below its menu bar: one flat colour would mean nothing was drawn.
deviation="$(convert "$WORK/screen.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" \
    -colorspace Gray -format '%[fx:standard_deviation]' info:)"
echo "frame ${WIDTH}x${HEIGHT}+${X}+${Y}, grey deviation $deviation"
# Without a window manager nobody gives the frame the keyboard: a click on the command line
# does, as it would for a user.
xdotool windowfocus --sync "$frame" 2> /dev/null || true
xdotool mousemove --sync $((X + 60)) $((Y + 72)) click 1
sleep 0.3
xdotool type --delay 50 "exit"
xdotool key Return
sleep 0.5
import -window root "$WORK/typed.png"
status=124
for _ in $(seq 1 100); do
    if ! kill -0 "$pid" 2> /dev/null; then
        wait "$pid"
        status=$?
        break
    fi
    sleep 0.2
done
[[ $status -eq 124 ]] && kill "$pid" 2> /dev/null
echo "program status $status"
awk -v d="$deviation" 'BEGIN { exit !(d > 0.01) }' || { echo "the frame is one colour"; exit 1; }
exit "$status"
SESSION
chmod +x "$work/session.sh"
PROGRAM="$program" WORK="$work" xvfb-run -a -s "-screen 0 1280x1024x24" "$work/session.sh"
status=$?
if [[ -n "${TAVO_KEEP_SCREENSHOT:-}" ]]; then
    cp "$work/screen.png" "$TAVO_KEEP_SCREENSHOT" 2> /dev/null
    cp "$work/typed.png" "${TAVO_KEEP_SCREENSHOT%.png}-typed.png" 2> /dev/null
fi
if [[ $status -ne 0 ]]; then
    cat "$work/program.out" 2> /dev/null | tail -20
    echo "FAILED: status $status"
    exit 1
fi
if [[ ! -s "$work/data/tavo.ini" ]]; then
    echo "FAILED: tavo.ini was not written into the data folder"
    exit 1
fi
echo "passed"

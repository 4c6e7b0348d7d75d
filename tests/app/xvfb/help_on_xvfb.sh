#!/usr/bin/env bash
# Help > Contents in the graphical program on a virtual X display: chosen from the keyboard
# (Alt+H, C), it starts the desktop's opener with the installed help file. A stand-in
# "xdg-open" first on PATH records what it is given. Like run_on_xvfb.sh it runs the program
# already built, with a temporary profile and data folder.
# Usage: help_on_xvfb.sh <built tavolt>. Exit 77 (skipped) when the X tools are missing.
set -uo pipefail
program="$1"
[[ -x "$program" ]] || { echo "FAILED: no program $program"; exit 1; }
for tool in xvfb-run xdotool; do
    command -v "$tool" > /dev/null 2>&1 || { echo "missing $tool"; exit 77; }
done
help_file="$(cd "$(dirname "$program")" && pwd)/hlp/tavolt.html"
[[ -f "$help_file" ]] || { echo "FAILED: no help file $help_file"; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/data" "$work/bin"
printf '[TAVO LT 5.40]\nTVDATA=%s\n' "$work/data" > "$work/profile.ini"
export TAVO_PROFILE="$work/profile.ini"
unset TAVO_UI QT_QPA_PLATFORM
printf '#!/bin/sh\nprintf "%%s\\n" "$*" > "%s/opened.txt"\n' "$work" > "$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"

cat > "$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -uo pipefail
PATH="$WORK/bin:$PATH" "$PROGRAM" > "$WORK/program.out" 2>&1 &
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
eval "$(xdotool getwindowgeometry --shell "$frame")"
# Without a window manager nobody gives the frame the keyboard: a click on the command line does.
xdotool windowfocus --sync "$frame" 2> /dev/null || true
xdotool mousemove --sync $((X + 60)) $((Y + 72)) click 1
sleep 0.3
xdotool key alt+h
sleep 0.5
xdotool key c
for _ in $(seq 1 50); do
    [[ -s "$WORK/opened.txt" ]] && break
    sleep 0.2
done
xdotool mousemove --sync $((X + 60)) $((Y + 72)) click 1
sleep 0.3
xdotool type --delay 50 "exit"
xdotool key Return
for _ in $(seq 1 100); do
    kill -0 "$pid" 2> /dev/null || break
    sleep 0.2
done
kill "$pid" 2> /dev/null
exit 0
SESSION
chmod +x "$work/session.sh"
PROGRAM="$program" WORK="$work" xvfb-run -a -s "-screen 0 1280x1024x24" "$work/session.sh"
opened="$(cat "$work/opened.txt" 2> /dev/null)"
if [[ "$opened" != "$help_file" ]]; then
    tail -20 "$work/program.out" 2> /dev/null
    echo "FAILED: the opener was given '$opened', not '$help_file'"
    exit 1
fi
echo "passed"

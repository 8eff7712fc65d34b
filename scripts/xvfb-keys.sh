# Sourced by scripts that drive the panel without a display: a private Xvfb server and key presses.
# The caller keeps the ids of what it starts in its `pids` array and stops them itself.

# Runs the command every 100 ms until it succeeds; false after 10 s.
wait_for() {
    local tries=100
    until "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

# Starts Xvfb on a free display (it writes the number to a file once it accepts clients) and exports DISPLAY.
# $1: folder for the server's files.
start_xvfb() {
    Xvfb -displayfd 5 -screen 0 1600x1000x24 -nolisten tcp 5> "$1/display" 2> "$1/xvfb.log" &
    pids+=($!)
    wait_for test -s "$1/display" || return 1
    DISPLAY=":$(head -n 1 "$1/display")"
    export DISPLAY
}

# Prints the id of the visible window with the title $1 once it shows; fails after 30 s.
wait_for_window() {
    timeout 30 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1
}

# Gives window $1 the keyboard, moves the focus $2 steps along its tab chain and presses space: the same
# button whatever the window's size, fonts or scaling (the chain follows the form, not the pixels).
press_by_tab() {
    xdotool windowfocus --sync "$1"
    sleep 0.5
    local i
    for ((i = 0; i < $2; i++)); do
        xdotool key Tab
    done
    xdotool key space
}

# Steps from the main window's first focus to its buttons: Connect, then About (Defaults is disabled until
# a camera is connected, so the chain skips it).
readonly TABS_TO_CONNECT=4
readonly TABS_TO_ABOUT=5
# In the About box, from OK past Show Details to Help.
readonly TABS_TO_HELP=2

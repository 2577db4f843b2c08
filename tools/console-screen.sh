# Sourced by tools/screens: vyk_console_screen OUT_PNG runs the console against the simulator
# under Xvfb as tools/demo does, confirms the port dialog, and saves the screen once the scan
# has run for a few seconds.
source "$(dirname "${BASH_SOURCE[0]}")/demo-setup.sh"

# vyk_xvfb_console_start: Xvfb on a free display and the console on it with its port dialog
# confirmed; sets VYK_DISPLAY, VYK_XVFB_PID and VYK_CONSOLE_PID. The simulator must run.
vyk_xvfb_console_start() {
    local dialog
    VYK_DISPLAY=:$((90 + RANDOM % 100))
    Xvfb "$VYK_DISPLAY" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
    VYK_XVFB_PID=$!
    sleep 1
    DISPLAY=$VYK_DISPLAY QT_QPA_PLATFORM=xcb "$VYK_WINDOW_EXE" &
    VYK_CONSOLE_PID=$!
    dialog=$(DISPLAY=$VYK_DISPLAY timeout 20 xdotool search --sync --name "串口设置窗口" | head -n 1)
    DISPLAY=$VYK_DISPLAY xdotool windowfocus --sync "$dialog" key Return
}

# vyk_xvfb_console_stop: ends the console as a logout would, then Xvfb and the simulator.
vyk_xvfb_console_stop() {
    kill -TERM "$VYK_CONSOLE_PID"
    wait "$VYK_CONSOLE_PID" || true
    kill "$VYK_XVFB_PID"
    wait "$VYK_XVFB_PID" 2>/dev/null || true
    vyk_demo_stop_sim
}

vyk_console_screen() {
    local png=$1
    vyk_install_deps qt6-qpa-plugins xvfb xauth xdotool imagemagick
    vyk_demo_build
    vyk_demo_start_sim
    vyk_xvfb_console_start
    sleep 5
    DISPLAY=$VYK_DISPLAY import -window root "$png"
    vyk_xvfb_console_stop
    echo "wrote $png"
}

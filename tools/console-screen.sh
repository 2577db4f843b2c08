# Sourced by tools/screens: vyk_console_screen OUT_PNG runs the console against the simulator
# under Xvfb as tools/demo does, confirms the port dialog, and saves the screen once the scan
# has run for a few seconds.
source "$(dirname "${BASH_SOURCE[0]}")/demo-setup.sh"

vyk_console_screen() {
    local png=$1 display=:$((90 + RANDOM % 100)) xvfb_pid console_pid dialog
    vyk_install_deps qt6-qpa-plugins xvfb xauth xdotool imagemagick
    vyk_demo_build
    vyk_demo_start_sim
    Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    sleep 1
    DISPLAY=$display QT_QPA_PLATFORM=xcb "$VYK_CONSOLE_EXE" &
    console_pid=$!
    dialog=$(DISPLAY=$display timeout 20 xdotool search --sync --name "串口设置窗口" | head -n 1)
    DISPLAY=$display xdotool windowfocus --sync "$dialog" key Return
    sleep 5
    DISPLAY=$display import -window root "$png"
    kill -TERM "$console_pid"
    wait "$console_pid" || true
    kill "$xvfb_pid"
    wait "$xvfb_pid" 2>/dev/null || true
    vyk_demo_stop_sim
    echo "wrote $png"
}

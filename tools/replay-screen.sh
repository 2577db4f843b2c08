# Sourced by tools/screens: vyk_replay_screen OUT_PNG records as a user would under Xvfb (the
# recording button, a name typed into the save dialog, a minute of the simulator at 921600
# baud, the button again), then opens the archive with the open button and saves the replay.
source "$(dirname "${BASH_SOURCE[0]}")/console-screen.sh"

# Toolbar buttons of the maximised console on a 1920x1080 screen.
VYK_OPEN_BUTTON=${VYK_OPEN_BUTTON:-"24 20"}
VYK_RECORD_BUTTON=${VYK_RECORD_BUTTON:-"60 20"}
VYK_RECORD_SECONDS=${VYK_RECORD_SECONDS:-60}

# vyk_dialog_keys TITLE XDOTOOL-COMMAND...: waits for the console's dialog of that title,
# focuses it and sends it the keys or the text.
vyk_dialog_keys() {
    local title=$1 dialog
    shift
    dialog=$(DISPLAY=$VYK_DISPLAY timeout 30 xdotool search --sync --onlyvisible --name "^$title\$" | head -n 1)
    DISPLAY=$VYK_DISPLAY xdotool windowfocus --sync "$dialog" "$@"
}

# vyk_click X Y: a left click on the screen.
vyk_click() {
    DISPLAY=$VYK_DISPLAY xdotool mousemove "$1" "$2" click 1
}

vyk_replay_screen() {
    local png=$1 ini folder
    vyk_install_deps qt6-qpa-plugins xvfb xauth xdotool imagemagick unzip
    vyk_demo_build
    vyk_demo_start_sim --baud 921600
    ini=$(vyk_window_ini)
    # The strip view in debug mode: there the button records and the open button is at hand.
    vyk_ini_set "$ini" Main mode 1
    vyk_ini_set "$ini" Main viewtype 162
    vyk_ini_set "$ini" Main BandRate 921600
    folder=$(mktemp -d)
    vyk_xvfb_console_start
    sleep 3
    # shellcheck disable=SC2086
    vyk_click $VYK_RECORD_BUTTON
    vyk_dialog_keys 另存为 type --delay 20 "$folder/run"
    vyk_dialog_keys 另存为 key Return
    sleep "$VYK_RECORD_SECONDS"
    # shellcheck disable=SC2086
    vyk_click $VYK_RECORD_BUTTON
    vyk_dialog_keys 另存为 key Escape
    sleep 1
    # shellcheck disable=SC2086
    vyk_click $VYK_OPEN_BUTTON
    vyk_dialog_keys 打开 type --delay 20 "$folder/run.Zip"
    vyk_dialog_keys 打开 key Return
    sleep 8
    DISPLAY=$VYK_DISPLAY xdotool mousemove 960 1000
    sleep 1
    DISPLAY=$VYK_DISPLAY import -window root "$png"
    vyk_xvfb_console_stop
    echo "recorded: $(unzip -l "$folder/run.Zip" | tail -n 1)"
    rm -rf "$folder"
    echo "wrote $png"
}

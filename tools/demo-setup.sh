# Sourced by tools/demo and tools/screens: builds a window program (VYK_DEMO_PROGRAM, the
# console VYK-10 unless set) and the simulator (Release), starts vyk-sim on a pseudo-terminal
# and maps it as COM1 in the program's INI file.
source "$(dirname "${BASH_SOURCE[0]}")/deps.sh"

VYK_DEMO_BUILD=$VYK_ROOT/build/release
VYK_DEMO_PROGRAM=${VYK_DEMO_PROGRAM:-VYK-10}

# vyk_demo_build: sets VYK_WINDOW_EXE, VYK_SIM_EXE and VYK_INI_EXE.
vyk_demo_build() {
    vyk_configure "$VYK_DEMO_BUILD" -DCMAKE_BUILD_TYPE=Release -DVYK_BUILD_TESTS=OFF
    cmake --build "$VYK_DEMO_BUILD" -j "$VYK_JOBS" --target "$VYK_DEMO_PROGRAM" vyk-sim ini_value
    VYK_WINDOW_EXE=$(find "$VYK_DEMO_BUILD/src" -type f -name "$VYK_DEMO_PROGRAM" -perm -u+x |
        head -n 1)
    VYK_SIM_EXE=$(find "$VYK_DEMO_BUILD/sim" -type f -name vyk-sim -perm -u+x | head -n 1)
    VYK_INI_EXE=$(find "$VYK_DEMO_BUILD/tests/support" -type f -name ini_value -perm -u+x |
        head -n 1)
}

# The program's INI file: beside the executable when that folder is writable, else XDG config.
vyk_window_ini() {
    local folder
    folder=$(dirname "$VYK_WINDOW_EXE")
    if [ -w "$folder" ]; then
        echo "$folder/$VYK_DEMO_PROGRAM.ini"
    else
        echo "${XDG_CONFIG_HOME:-$HOME/.config}/$VYK_DEMO_PROGRAM.ini"
    fi
}

# vyk_ini_set FILE SECTION KEY VALUE: sets one key, as the programs write it.
vyk_ini_set() {
    mkdir -p "$(dirname "$1")"
    "$VYK_INI_EXE" "$@"
}

# vyk_ini_get FILE SECTION KEY: prints the key's value; status 1 when the key is missing.
vyk_ini_get() {
    "$VYK_INI_EXE" "$@"
}

# vyk_demo_start_sim [vyk-sim options...]: sets VYK_SIM_PID and VYK_SIM_LINK; the link is COM1
# until vyk_demo_stop_sim puts back what COM1 was before. The simulator runs in a session of
# its own, so that Ctrl+C in the terminal reaches the window program alone.
vyk_demo_start_sim() {
    VYK_SIM_LINK=${XDG_RUNTIME_DIR:-/tmp}/vyk-demo-$$.tty
    setsid "$VYK_SIM_EXE" --link "$VYK_SIM_LINK" "$@" >"${VYK_SIM_LINK}.log" 2>&1 </dev/null &
    VYK_SIM_PID=$!
    local tries=0
    until [ -e "$VYK_SIM_LINK" ]; do
        if ! kill -0 "$VYK_SIM_PID" 2>/dev/null || [ $tries -ge 100 ]; then
            echo "vyk-sim did not start:" >&2
            cat "${VYK_SIM_LINK}.log" >&2
            return 1
        fi
        sleep 0.1
        tries=$((tries + 1))
    done
    VYK_DEMO_INI=$(vyk_window_ini)
    VYK_DEMO_OLD_COM1=$(vyk_ini_get "$VYK_DEMO_INI" Ports COM1) && VYK_DEMO_HAD_COM1=1 ||
        VYK_DEMO_HAD_COM1=0
    vyk_ini_set "$VYK_DEMO_INI" Ports COM1 "$VYK_SIM_LINK"
}

vyk_demo_stop_sim() {
    if [ -n "${VYK_SIM_PID:-}" ]; then
        kill "$VYK_SIM_PID" 2>/dev/null || true
        wait "$VYK_SIM_PID" 2>/dev/null || true
        rm -f "${VYK_SIM_LINK}.log"
        VYK_SIM_PID=
    fi
    # A COM1 left on the gone simulator's link would break the next start.
    if [ -n "${VYK_DEMO_INI:-}" ] &&
        [ "$(vyk_ini_get "$VYK_DEMO_INI" Ports COM1)" = "$VYK_SIM_LINK" ]; then
        if [ "$VYK_DEMO_HAD_COM1" = 1 ]; then
            vyk_ini_set "$VYK_DEMO_INI" Ports COM1 "$VYK_DEMO_OLD_COM1"
        else
            # An empty COM1 maps to the machine's first serial device again.
            vyk_ini_set "$VYK_DEMO_INI" Ports COM1 ""
        fi
    fi
    VYK_DEMO_INI=
}

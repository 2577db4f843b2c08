# Sourced by tools/demo and tools/screens: builds the console and the simulator (Release),
# starts vyk-sim on a pseudo-terminal and maps it as COM1 in the console's INI file.
source "$(dirname "${BASH_SOURCE[0]}")/deps.sh"

VYK_DEMO_BUILD=$VYK_ROOT/build/release

# vyk_demo_build: sets VYK_CONSOLE_EXE and VYK_SIM_EXE.
vyk_demo_build() {
    vyk_configure "$VYK_DEMO_BUILD" -DCMAKE_BUILD_TYPE=Release -DVYK_BUILD_TESTS=OFF
    cmake --build "$VYK_DEMO_BUILD" -j "$VYK_JOBS" --target VYK-10 vyk-sim
    VYK_CONSOLE_EXE=$(find "$VYK_DEMO_BUILD/src/console" -type f -name VYK-10 -perm -u+x | head -n 1)
    VYK_SIM_EXE=$(find "$VYK_DEMO_BUILD/sim" -type f -name vyk-sim -perm -u+x | head -n 1)
}

# The console's INI file: beside the executable when that folder is writable, else XDG config.
vyk_console_ini() {
    local folder
    folder=$(dirname "$VYK_CONSOLE_EXE")
    if [ -w "$folder" ]; then
        echo "$folder/VYK-10.ini"
    else
        echo "${XDG_CONFIG_HOME:-$HOME/.config}/VYK-10.ini"
    fi
}

# vyk_ini_set FILE SECTION KEY VALUE: sets one key, sections and keys compared without case.
vyk_ini_set() {
    local file=$1 section=$2 key=$3 value=$4 tmp
    mkdir -p "$(dirname "$file")"
    [ -f "$file" ] || : >"$file"
    tmp=$(mktemp)
    awk -v section="$section" -v key="$key" -v value="$value" '
        function trim(s) { gsub(/^[ \t\r]+|[ \t\r]+$/, "", s); return s }
        function put() { if (!done) printf "%s=%s\r\n", key, value; done = 1 }
        {
            t = tolower(trim($0))
            if (t ~ /^\[/) {
                if (inside) put()
                inside = (t == "[" tolower(section) "]")
                if (inside) seen = 1
                print
                next
            }
            eq = index(t, "=")
            if (inside && eq > 0 && trim(substr(t, 1, eq - 1)) == tolower(key)) { put(); next }
            print
        }
        END {
            if (!done) {
                if (!seen) printf "[%s]\r\n", section
                put()
            }
        }' "$file" >"$tmp"
    mv "$tmp" "$file"
}

# vyk_demo_start_sim [vyk-sim options...]: sets VYK_SIM_PID and VYK_SIM_LINK; the link is COM1.
vyk_demo_start_sim() {
    VYK_SIM_LINK=${XDG_RUNTIME_DIR:-/tmp}/vyk-demo-$$.tty
    "$VYK_SIM_EXE" --link "$VYK_SIM_LINK" "$@" >"${VYK_SIM_LINK}.log" 2>&1 &
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
    vyk_ini_set "$(vyk_console_ini)" Ports COM1 "$VYK_SIM_LINK"
}

vyk_demo_stop_sim() {
    if [ -n "${VYK_SIM_PID:-}" ]; then
        kill "$VYK_SIM_PID" 2>/dev/null || true
        wait "$VYK_SIM_PID" 2>/dev/null || true
        rm -f "${VYK_SIM_LINK}.log"
        VYK_SIM_PID=
    fi
}

# Sourced by the tools scripts: installs what a fresh Debian 12 machine lacks.
# Extra packages a script needs beyond the build set are passed as arguments to vyk_install_deps.

VYK_BUILD_PACKAGES=(g++ cmake ninja-build pkg-config ccache qt6-base-dev zlib1g-dev libminizip-dev
    libzstd-dev libgtest-dev libgmock-dev libbenchmark-dev fonts-wqy-zenhei qt6-translations-l10n)
# What tools/package and its test need: the package, its icons, and the checks of both.
VYK_PACKAGE_TOOLS=(dpkg-dev librsvg2-bin lintian desktop-file-utils man-db groff-base)

vyk_install_deps() {
    local wanted=("${VYK_BUILD_PACKAGES[@]}" "$@") missing=() pkg
    for pkg in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing packages: ${missing[*]} (run as root to install them)" >&2
        return 1
    fi
    echo "installing: ${missing[*]}"
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# vyk_configure BUILD_DIR [cmake options...]: configure once, later runs only rebuild.
vyk_configure() {
    local dir=$1
    shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$VYK_ROOT" -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER_LAUNCHER=ccache "$@"
    fi
}

VYK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VYK_JOBS=${VYK_JOBS:-$(nproc)}

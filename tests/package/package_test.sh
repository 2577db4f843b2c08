#!/usr/bin/env bash
# package_test.sh SOURCE_DIR: builds the package, unpacks it into a temporary root as dpkg would
# install it, and checks the programs, desktop files, icons and man pages in it.
set -euo pipefail
windows=(VYK-10 VYK-05)
commands=(vyk-decode vyk-record vyk-sim vyk-upgrade vyk-zones)

deb=$("$1/tools/package" | tail -n 1)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

depends=$(dpkg-deb -f "$deb" Depends)
for wanted in fonts-wqy-zenhei libqt6widgets6 libminizip1; do
    grep -q "$wanted" <<<"$depends" || fail "Depends lacks $wanted: $depends"
done
[ -f "$root/usr/share/doc/vyk/copyright" ] || fail "no copyright file"

for program in "${windows[@]}" "${commands[@]}"; do
    [ -x "$root/usr/bin/$program" ] || fail "usr/bin/$program is missing"
done

# The PNG's width and height, from its IHDR chunk.
png_size() {
    od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8 }'
}

for program in "${windows[@]}"; do
    id=${program,,}
    desktop=$root/usr/share/applications/$id.desktop
    if [ ! -f "$desktop" ]; then
        fail "$program has no desktop file"
        continue
    fi
    report=$(desktop-file-validate "$desktop" 2>&1) || fail "$id.desktop is invalid"
    [ -z "$report" ] || fail "desktop-file-validate on $id.desktop: $report"
    grep -qx "Exec=$program" "$desktop" || fail "$id.desktop does not start $program"
    grep -q '^Comment\[zh_CN\]=' "$desktop" || fail "$id.desktop has no Chinese comment"
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    svg=$root/usr/share/icons/hicolor/scalable/apps/$icon.svg
    png=$root/usr/share/icons/hicolor/256x256/apps/$icon.png
    grep -q '<svg' "$svg" 2>/dev/null || fail "$id: no SVG icon $icon"
    if [ -f "$png" ]; then
        [ "$(png_size "$png")" = 256x256 ] || fail "$icon.png is $(png_size "$png")"
    else
        fail "$id: no 256 px icon $icon"
    fi
done

for program in "${windows[@]}" "${commands[@]}"; do
    page=$root/usr/share/man/man1/$program.1.gz
    if [ ! -f "$page" ]; then
        fail "$program has no man page"
        continue
    fi
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man -l $program.1.gz warns: $warnings"
    LC_ALL=C.UTF-8 man -l "$page" 2>/dev/null | grep -Eq "^ *$program +- " ||
        fail "man page of $program lacks its NAME line"
done

# The installed command-line programs run from the package's files.
for program in "${commands[@]}"; do
    usage=$("$root/usr/bin/$program" --help) || fail "$program --help failed"
    grep -q "^usage: $program" <<<"$usage" || fail "$program --help prints no usage"
done

[ $failures -eq 0 ] && echo "package $deb: all checks passed"
exit $((failures > 0))

#!/bin/sh
# loads_no_gui.sh PROGRAM...: fails when one of the programs loads Qt's GUI modules or X11.
status=0
for program in "$@"; do
    if ! libs=$(ldd "$program"); then
        echo "$program: ldd failed" >&2
        status=1
        continue
    fi
    gui=$(printf '%s\n' "$libs" | grep -E 'libQt6(Gui|Widgets)|libxcb|libX11')
    if [ -n "$gui" ]; then
        printf '%s loads:\n%s\n' "$program" "$gui" >&2
        status=1
    fi
done
exit $status

# Sourced by the scripts that run the programs under 64-bit Wine on a virtual
# display: start_wine_display WORK PREFIX SCREEN starts Xvfb, sets WINEPREFIX,
# DISPLAY, $wine and $wineserver, and stops both again when the script ends.
# Wine's helpers outlive their programs: they write to WORK/wine.log (fd 3),
# never to the caller's output.
start_wine_display() {
    local work=$1 display_file=$1/display
    export WINEPREFIX=$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    wine=/usr/lib/wine/wine64
    wineserver=/usr/lib/wine/wineserver64
    exec 3>"$work/wine.log"
    rm -f "$display_file"
    Xvfb -displayfd 4 -screen 0 "$3" -nolisten tcp 4>"$display_file" >&3 2>&3 &
    wine_display_xvfb=$!
    trap stop_wine_display EXIT
    for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
    [ -s "$display_file" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=:$(head -1 "$display_file")
}

stop_wine_display() {
    $wineserver -k >&3 2>&3 || true
    kill "$wine_display_xvfb" 2>/dev/null || true
}

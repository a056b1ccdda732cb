#!/usr/bin/env bash
# Takes the docs/ screenshots on a virtual screen: per language the host with the parameter
# dialog and the crossplot window of the demo project (docs/crossplot-<language>.png), and the
# host's Project menu (docs/kyhost-<language>.png); in English the crossplot window alone
# (docs/crossplot.png). The demo project lives in a neutral folder, so that the pictures show
# no developer's paths.
# Usage: scripts/screenshots.sh [BUILD_DIR [LANGUAGE...]]   (default: build zh_CN ru)
#        DEMO_DIR=/tmp/demo (default) chooses the demo project's folder.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
demo=${DEMO_DIR:-/tmp/demo}

# Starts kyhost on the demo project in the language; prints its pid and then its window.
start_host() {
    # Qt reads the language from the environment, whether or not the C library has the locale.
    env LANG="$1.UTF-8" LC_ALL="$1.UTF-8" "$build/bin/kyhost" --project "$demo" >/dev/null 2>&1 &
    echo $!
    xdotool search --sync --onlyvisible --class kyhost | head -n 1
}

# Alt alone enters the menu bar at its first menu, the arrows move on and open one, whatever
# letters the language's menu titles underline.
open_menu() {
    xdotool windowfocus --sync "$1" key alt
    sleep 0.5
    xdotool key $2 Down
}

stop_host() {
    kill "$1"
    wait "$1" 2>/dev/null || true
}

if [[ "${2:-}" == --menus ]]; then
    language=$3
    { read -r host; read -r host_window; } < <(start_host "$language")
    # No window manager: focus by hand, then open the Project menu from the keyboard.
    xdotool windowmove --sync "$host_window" 0 0
    open_menu "$host_window" ""
    sleep 1
    import -window root -crop 720x420+0+0 "docs/kyhost-$language.png"
    stop_host "$host"
    exit 0
fi

if [[ "${2:-}" == --inside ]]; then
    language=$3
    { read -r host; read -r host_window; } < <(start_host "$language")
    # Tools menu, first entry: the plug-in's action; then OK on the demo's parameters.
    open_menu "$host_window" Right
    xdotool key Return
    dialog=$(xdotool search --sync --onlyvisible --name 'Offset-FB CrossPlot' | head -n 1)
    xdotool windowmove --sync "$dialog" 10 780
    xdotool windowfocus --sync "$dialog" key Return
    # The window loads the demo's million picks behind its progress dialog first.
    window=""
    for _ in $(seq 60); do
        window=$(xdotool search --onlyvisible --name 'Offset-FB CrossPlot' | grep -vx "$dialog" |
                 head -n 1 || true)
        [[ -n "$window" ]] && break
        sleep 1
    done
    sleep 2
    if [[ "$language" == en_US ]]; then
        xdotool mousemove 1479 999 # the window alone, without the tracker's cross
        sleep 1
        import -window "$window" docs/crossplot.png
    else
        xdotool windowmove --sync "$window" 540 10
        sleep 1
        import -window root "docs/crossplot-$language.png"
    fi
    stop_host "$host"
    exit 0
fi

scripts/install-deps.sh shots
"$build/bin/make-demo-project" "$demo" >/dev/null
shift || true
languages=("$@")
[[ ${#languages[@]} -eq 0 ]] && languages=(zh_CN ru)
xvfb-run -a -s "-screen 0 1480x1000x24" "$0" "$build" --inside en_US
echo docs/crossplot.png
for language in "${languages[@]}"; do
    xvfb-run -a -s "-screen 0 1480x1000x24" "$0" "$build" --inside "$language"
    xvfb-run -a -s "-screen 0 1480x1000x24" "$0" "$build" --menus "$language"
    echo "docs/crossplot-$language.png docs/kyhost-$language.png"
done

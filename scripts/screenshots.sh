#!/usr/bin/env bash
# Takes the docs/ screenshots: the host in one language with the parameter dialog and the
# crossplot window of the demo project, on a virtual screen.
# Usage: scripts/screenshots.sh [BUILD_DIR [LANGUAGE...]]   (default: build zh_CN ru)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

if [[ "${2:-}" == --inside ]]; then
    language=$3
    # Qt reads the language from the environment, whether or not the C library has the locale.
    env LANG="$language.UTF-8" LC_ALL="$language.UTF-8" \
        "$build/bin/kyhost" --project "$build/demo-project" 2>/dev/null &
    host=$!
    host_window=$(xdotool search --sync --onlyvisible --class kyhost | head -n 1)
    # No window manager: focus by hand. Tools menu, first entry: the plug-in's action; then OK on the demo's parameters.
    xdotool windowfocus --sync "$host_window" key alt+t Return
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
    xdotool windowmove --sync "$window" 540 10
    sleep 1
    import -window root "docs/crossplot-$language.png"
    kill "$host"
    wait "$host" 2>/dev/null || true
    exit 0
fi

scripts/install-deps.sh shots
"$build/bin/make-demo-project" "$build/demo-project" >/dev/null
shift || true
languages=("$@")
[[ ${#languages[@]} -eq 0 ]] && languages=(zh_CN ru)
for language in "${languages[@]}"; do
    xvfb-run -a -s "-screen 0 1480x1000x24" "$0" "$build" --inside "$language"
    echo "docs/crossplot-$language.png"
done

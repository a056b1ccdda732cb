#!/usr/bin/env bash
# Prepares the demo project once and starts the host on it.
set -euo pipefail
build=${1:-build}
demo="$build/demo-project"
"$build/bin/make-demo-project" "$demo"
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "run-demo: no display; starting kyhost under a virtual X server (xvfb-run)." >&2
    exec xvfb-run -a "$build/bin/kyhost" --project "$demo"
fi
exec "$build/bin/kyhost" --project "$demo"

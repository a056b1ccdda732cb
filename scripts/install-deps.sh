#!/usr/bin/env bash
# Installs the Debian 12 packages that a make target needs, and only those that are missing.
# Usage: scripts/install-deps.sh GROUP...   (groups: build run test ci bench shots)
set -euo pipefail

declare -A groups=(
    [build]="build-essential cmake ninja-build libpng-dev qtbase5-dev qtbase5-dev-tools qttools5-dev qttools5-dev-tools libqwt-qt5-dev fonts-dejavu-core dpkg-dev file help2man"
    [run]="fonts-noto-cjk"
    [test]="lintian man-db desktop-file-utils appstream"
    [ci]="clang libclang-rt-14-dev"
    [shots]="xvfb xdotool imagemagick fonts-noto-cjk"
    [bench]="python3-numpy python3-fast-histogram time bc"
)

wanted=""
for group in "$@"; do
    [[ -v groups[$group] ]] || { echo "install-deps: unknown group '$group'" >&2; exit 2; }
    wanted+=" ${groups[$group]}"
done

missing=()
for package in $wanted; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
fi
echo "install-deps: installing ${missing[*]}"
# Other package runs on the same machine hold the lock for a while: wait for it.
$sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Idempotent: when every package is present it changes nothing and needs no network.
set -euo pipefail

packages=(
    cmake g++ make pkg-config ninja-build
    qt6-base-dev libgl-dev qt6-translations-l10n
    libpugixml-dev libsqlite3-dev sqlite3
    libgtest-dev
    fonts-noto-cjk
    clang libclang-rt-14-dev
    python3 netcat-openbsd procps
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs what is missing, builds, and runs Halvane on its defaults (door-lock interface on
# port 8886, the encoder stand-in, Client.db and the logs in build/bin). With a display the main
# window opens; without one the server runs headless until Ctrl+C. Extra arguments go to halvane.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j"$(nproc)" --target halvane tarnel

args=("$@")
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
    echo "No display found: running headless (Ctrl+C stops it)."
    args=(--headless "${args[@]}")
fi
exec ./build/bin/halvane "${args[@]}"

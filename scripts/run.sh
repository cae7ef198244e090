#!/usr/bin/env bash
# Sets up and builds MELKO, then runs its main job on the bundled demo song:
# with a display, the MELKO application opens on it (the built-in synthesizer
# plays it); without one, the song is loaded, saved again as format 0, and
# rendered through the built-in synthesizer to out/demo.wav (played too when
# a sound device exists).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build}
melko="$BUILD_DIR/bin/melko"
demo="$BUILD_DIR/bin/demos/demo.mid"
mkdir -p out

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Opening MELKO on the demo song (F11 plays and stops)"
  exec "$melko" "$demo"
fi

"$melko" --dump "$demo" > out/demo-dump.txt
"$melko" --convert "$demo" out/demo-format0.mid --format0 > /dev/null
"$melko" --render "$demo" out/demo.wav | tail -n 1
"$melko" --convert "$BUILD_DIR/bin/demos/demo.rcp" out/demo-from-rcp.mid > /dev/null
echo "Song listing: out/demo-dump.txt ($(grep -c ' Note ' out/demo-dump.txt) notes)"
echo "Format 0 copy: out/demo-format0.mid"
echo "Rendered audio: $(pwd)/out/demo.wav"
echo "The RCP demo song converted to a Standard MIDI File: out/demo-from-rcp.mid"
if "$melko" --screenshot out/melko-window.png "$demo" > /dev/null 2>&1; then
  echo "The application's window (drawn offscreen): out/melko-window.png"
fi
if compgen -G "/dev/snd/pcmC*p" > /dev/null || [ -n "${PULSE_SERVER:-}" ]; then
  "$melko" --play "$demo"
fi

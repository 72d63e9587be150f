#!/usr/bin/env bash
# A person in front of the device list: waits for the dialog, gives discovery two seconds,
# then clicks the first row and either ok or annuler. Positions are the dialog's own (the
# private display has no window manager, so the window's origin is its client area's).
#
#   liste-clics.sh choisir|annuler
set -u
case "${1:-}" in
  choisir) bouton_x=277 ;;  # ok button at 249, 391, 57 x 38
  annuler) bouton_x=336 ;;  # annuler button at 308, 391
  *) echo "usage: $0 choisir|annuler" >&2; exit 2 ;;
esac
fenetre=
for _ in $(seq 100); do
  fenetre=$(xdotool search --onlyvisible --name '^Gestionnaire Tavlin v2\.0$' 2>/dev/null | head -n1)
  [ -n "$fenetre" ] && break
  sleep 0.1
done
[ -n "$fenetre" ] || { echo "liste-clics: no device list within 10 s" >&2; exit 1; }
sleep 2
xdotool mousemove --window "$fenetre" 60 124 click 1
sleep 0.3
xdotool mousemove --window "$fenetre" "$bouton_x" 410 click 1

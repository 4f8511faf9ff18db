# game-window.sh: sourced by the scripts that drive the game under Xvfb.
# Sets window to the id of the game's window, waiting up to 10 s for it to appear; returns 1
# (the caller then says why) when it does not.
wait_for_game_window() {
  window=""
  for _ in $(seq 100); do
    window=$(xdotool search --name '^Kelvoran v0.1$' 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && return 0
    sleep 0.1
  done
  return 1
}

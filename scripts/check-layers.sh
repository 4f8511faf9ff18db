#!/usr/bin/env bash
# Fails when a source folder includes a header of a folder at its own level or above, other than
# itself, or when the game's rules include a GL or GLUT header. Lowest first; folders that share
# a level (render and physics, actors and lighting, session, net, level and audio) do not include each other.
set -euo pipefail
cd "$(dirname "$0")/../src"
rank() {
  case "$1" in
    core) echo 0 ;; render | physics) echo 1 ;; map) echo 2 ;; actors | lighting) echo 3 ;;
    game) echo 4 ;; script) echo 5 ;; session | net | level | audio) echo 6 ;; app) echo 7 ;;
    *) echo 99 ;;
  esac
}
status=0
for folder in */; do
  folder=${folder%/}
  if [ "$(rank "$folder")" = 99 ]; then
    echo "$folder/ has no place in the layers"
    status=1
  fi
  while IFS=: read -r file _ include; do
    target=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$include")
    [ "$target" = "$folder" ] && continue
    if [ "$(rank "$target")" -ge "$(rank "$folder")" ]; then
      echo "$file includes $target/, which is not below $folder/"
      status=1
    fi
  done < <(grep -Hn '#include "[a-z_]*/' "$folder"/* || true)
done
# The rules run without a window: replays, fuzzing and tests drive them headless.
if grep -Hn '#include *<GL/\|#include *<GLUT/\|#include *<SOIL' game/* script/* session/* audio/*; then
  echo "the files above give the game, script, session or audio layer a GL or GLUT header"
  status=1
fi
[ $status -eq 0 ] && echo "every folder includes only the folders below it"
exit $status

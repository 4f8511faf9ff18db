#!/usr/bin/env bash
# Fails when a source folder includes a header of a folder at its own level or above, other than
# itself. Lowest first; lighting and actors share a level and do not include each other.
set -euo pipefail
cd "$(dirname "$0")/../src"
rank() {
  case "$1" in
    core) echo 0 ;; render) echo 1 ;; map) echo 2 ;; actors | lighting) echo 3 ;; app) echo 4 ;;
    *) echo 99 ;;
  esac
}
status=0
for folder in */; do
  folder=${folder%/}
  while IFS=: read -r file _ include; do
    target=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$include")
    [ "$target" = "$folder" ] && continue
    if [ "$(rank "$target")" -ge "$(rank "$folder")" ]; then
      echo "$file includes $target/, which is not below $folder/"
      status=1
    fi
  done < <(grep -Hn '#include "[a-z_]*/' "$folder"/* || true)
done
[ $status -eq 0 ] && echo "every folder includes only the folders below it"
exit $status

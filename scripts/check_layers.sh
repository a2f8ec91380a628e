#!/usr/bin/env bash
# Fails when a project include points against the layers: each folder may
# include only itself and the folders below it. The build enforces the same
# through per-layer include roots; this check names the offending line.
set -euo pipefail
cd "$(dirname "$0")/.."

# Folder and the folders it may include, bottom to top.
# include/ holds the store's public face, which stands on nothing of the
# project's.
declare -A allowed=(
  [include]="wqstore"
  [platform]="platform"
  [store]="platform store wqstore"
  [terminal]="platform terminal"
  [repository]="platform store wqstore terminal repository"
  [query]="platform store wqstore terminal repository query"
  [shell]="platform store wqstore terminal repository query shell"
  [tools]="platform store wqstore tools"
  [python]="wqstore python"
  [sqlite]="wqstore sqlite"
)

status=0
for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || continue
  while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    line=${rest%%:*}
    target=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"${rest#*:}")
    ok=0
    for a in ${allowed[$folder]}; do
      if [ "$target" = "$a" ] || [[ $target == "$a"/* ]]; then ok=1; break; fi
    done
    if [ $ok = 0 ]; then
      echo "$file:$line: $folder/ includes $target, which is above it" >&2
      status=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' "$folder" --include='*.h' --include='*.cc' --include='*.h.in' || true)
done
[ $status = 0 ] && echo "layers: every include points down"
exit $status

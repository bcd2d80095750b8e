#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Adds the licence line to every tracked source and script file that lacks it; with --check, only
# lists those files and fails when there are any.
set -euo pipefail
cd "$(dirname "$0")/.."
check=0
[ "${1:-}" = --check ] && check=1
tag="SPDX-License-Identifier: GPL-3.0-or-later"

files() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files
  else
    find . -path ./.git -prune -o -path './build*' -prune -o -type f -print | sed 's|^\./||'
  fi
}

comment_for() {
  case "$1" in
    *.cpp | *.h | *.h.in) echo "//" ;;
    *.sh | *.py | *.bash | *.cmake | CMakeLists.txt | */CMakeLists.txt) echo "#" ;;
    *) return 1 ;;
  esac
}

missing=()
while IFS= read -r file; do
  [ -f "$file" ] || continue
  mark=$(comment_for "$file") || continue
  head -n 5 "$file" | grep -q "$tag" && continue
  missing+=("$file")
  [ "$check" = 1 ] && continue
  # The line goes after a #! line and a Python coding line, which must stay on top.
  awk -v line="$mark $tag" '
    !done && (NR == 1 && /^#!/ || NR <= 2 && /^#.*coding[:=]/) { print; next }
    !done { print line; done = 1 }
    { print }
    END { if (!done) print line }' "$file" >"$file.spdx"
  chmod --reference="$file" "$file.spdx"
  mv "$file.spdx" "$file"
done < <(files)

if [ "$check" = 1 ] && [ ${#missing[@]} -gt 0 ]; then
  echo "Files without the line \"$tag\":"
  printf '  %s\n' "${missing[@]}"
  echo "Run scripts/spdx.sh to add it."
  exit 1
fi
[ "$check" = 1 ] || [ ${#missing[@]} -eq 0 ] || printf 'Added to %s\n' "${missing[@]}"

#!/usr/bin/env bash
# The documentation against what the project does: every fenced block
# marked runnable (its info string "sh runnable") in README.md and docs/*.md
# runs, each in a scratch copy of the repository's files, and must end with
# 0 within two minutes; every relative link of those pages names a file
# that exists. Pages and the marker: docs/building.md, "Runnable commands".
set -euo pipefail
cd "$(dirname "$0")/../.."
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
failures=0 blocks=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

pages=(README.md docs/*.md)
# Each runnable block into a file of its own, named after its page and line.
python3 - "$work/blocks" "${pages[@]}" <<'PY'
import os, re, sys
out, pages = sys.argv[1], sys.argv[2:]
os.mkdir(out)
for page in pages:
    block, start = None, 0
    for n, line in enumerate(open(page, encoding="utf-8"), 1):
        fence = re.match(r"^```(.*)$", line.rstrip("\n"))
        if block is None and fence:
            block, start = ([] if fence.group(1).split() == ["sh", "runnable"] else False), n
        elif fence:
            if block:
                name = f"{page.replace('/', '_')}:{start}"
                open(os.path.join(out, name), "w", encoding="utf-8").write("".join(block))
            block = None
        elif block is not None and block is not False:
            block.append(line)
PY

copy() {
  mkdir "$1"
  git ls-files -z -co --exclude-standard | xargs -0 cp --parents -t "$1"
}
for block in "$work"/blocks/*; do
  [ -e "$block" ] || break
  blocks=$((blocks + 1))
  where=$(basename "$block")
  scratch=$work/scratch.$blocks
  copy "$scratch"
  if (cd "$scratch" && timeout 120 bash -euo pipefail "$block") >"$work/out" 2>&1; then
    echo "docs: ${where/_//} ran: $(wc -l <"$block") lines, status 0"
  else
    fail "${where/_//}: the block ended with $?:"$'\n'"$(cat "$block")"$'\n'"--- its output:"$'\n'"$(tail -n 20 "$work/out")"
  fi
  rm -rf -- "$scratch"
done
[ "$blocks" -gt 0 ] || fail "no block marked runnable in ${pages[*]}"

# Relative links, without their #anchor, from the page's own folder.
for page in "${pages[@]}"; do
  while IFS= read -r target; do
    target=${target%%#*}
    [ -z "$target" ] || [ -e "$(dirname "$page")/$target" ] || fail "$page links to $target, which does not exist"
  done < <(grep -oP '\]\(\K(?![a-z]+:)[^)\s]+' "$page")
done

echo "docs: $blocks runnable blocks in ${#pages[@]} pages, $failures failures"
[ "$failures" -eq 0 ]

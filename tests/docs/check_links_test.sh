#!/usr/bin/env bash
# The link check passes on the README and guides as they are, and fails,
# naming the file and line, on each kind of broken link planted in a copy.
#   check_links_test.sh CHECK_LINKS.PY ROOT
set -euo pipefail
check=$1
root=$2
work=$(mktemp -d /tmp/ffsload-links.XXXXXX)
trap 'rm -rf "$work"' EXIT

python3 "$check" "$root"

copy() {
  rm -rf "$work/root"
  mkdir -p "$work/root"
  cp -r "$root/README.md" "$root/docs" "$work/root/"
}
plant() {  # plant FILE TEXT EXPECTED-OUTPUT
  copy
  printf '\n%s\n' "$2" >>"$work/root/$1"
  local line
  line=$(wc -l <"$work/root/$1")
  if out=$(python3 "$check" "$work/root"); then
    echo "not caught: $2 in $1"
    exit 1
  fi
  grep -qF -- "$3" <<<"$(grep -F -- "$1:$line: " <<<"$out")" ||
    { echo "caught, but not as \"$1:$line: ... $3\": $out"; exit 1; }
}
plant README.md 'See [the guide](docs/no-such-guide.md).' 'docs/no-such-guide.md: no such file'
plant README.md '![a picture](docs/images/missing.png)' 'docs/images/missing.png: no such file'
plant README.md 'Read [on](docs/records.md#no-such-heading).' 'no heading "#no-such-heading" in docs/records.md'
plant docs/records.md 'Back to [the top](#no-heading-here).' 'no heading "#no-heading-here" in docs/records.md'
plant docs/board.md 'The [README](../README.md#not-a-section).' 'no heading "#not-a-section" in README.md'
plant docs/records.md 'A [link](<../nowhere/file.md>) in angle brackets.' '../nowhere/file.md: no such file'
plant docs/records.md 'A [page](records.md "title") and a [bad one](recods.md "title").' 'recods.md: no such file'
plant docs/records.md '[ref]: ../missing.txt' '../missing.txt: no such file'
plant README.md '<img src="docs/absent.png">' 'docs/absent.png: no such file'
plant README.md 'A [link](/etc/passwd).' 'an absolute path'
plant README.md 'A [link](../../outside.md).' 'outside the repository'

# What is no link is not checked: code spans, fenced code and web addresses.
copy
cat >>"$work/root/README.md" <<'MD'

`[not a link](nowhere.md)` and [the web](https://example.com/none.md).

```
[also not a link](nowhere.md)
```
MD
python3 "$check" "$work/root" >/dev/null || { echo "code or a web address taken for a link"; exit 1; }

# A heading that appears twice is reached as GitHub numbers it.
copy
printf '\n## Twice\n\n## Twice\n\n[second](#twice-1) [first](#twice)\n' >>"$work/root/README.md"
python3 "$check" "$work/root" >/dev/null || { echo "a repeated heading's anchor was refused"; exit 1; }
echo "every planted broken link was caught"

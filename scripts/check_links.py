#!/usr/bin/env python3
"""Checks that the relative links of the README and the guides lead somewhere:

- every relative link or image of README.md and docs/*.md names a file or
  folder of the repository that exists;
- every "#anchor" (alone, or after a Markdown file) names a heading of that
  file, as GitHub turns headings into anchors.

Web addresses (http:, https:, mailto:) are not followed: a factory PC may
have no network, and a test must not depend on one.

  scripts/check_links.py [ROOT]    (default: the folder above scripts/)

Prints each broken link as FILE:LINE: WHAT and exits 1 when there is one.
"""
import os
import re
import sys
import urllib.parse

FENCE = re.compile(r"^\s*(```|~~~)")
CODE_SPAN = re.compile(r"(`+)(.+?)\1")
HEADING = re.compile(r"^\s{0,3}(#{1,6})\s+(.*?)\s*#*\s*$")
# [text](target "title") and ![alt](target); the text may begin on an
# earlier line, the target never spans lines.
INLINE_LINK = re.compile(r"\]\(\s*(<[^>]*>|[^)\s]*)(?:\s+\"[^\"]*\")?\s*\)")
REFERENCE = re.compile(r"^\s{0,3}\[[^\]]+\]:\s*(<[^>]*>|\S+)")
HTML_LINK = re.compile(r"""\b(?:href|src)\s*=\s*["']([^"']*)["']""")
EXTERNAL = re.compile(r"^[a-zA-Z][a-zA-Z0-9+.-]*:")


def documents(root):
    yield os.path.join(root, "README.md")
    docs = os.path.join(root, "docs")
    for name in sorted(os.listdir(docs)):
        if name.endswith(".md"):
            yield os.path.join(docs, name)


def slug(heading):
    """The anchor GitHub gives a heading: its text as shown, lower case,
    without punctuation, spaces as hyphens."""
    text = CODE_SPAN.sub(lambda m: m.group(2), heading)
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", text)  # a link's text
    text = re.sub(r"<[^>]+>", "", text)  # inline HTML
    text = re.sub(r"(\*\*|__|\*|_(?=\W|$)|(?<=\W)_)", "", text)
    text = text.strip().lower()
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def anchors(path, cache={}):
    if path not in cache:
        found = set()
        seen = {}
        in_fence = False
        with open(path, encoding="utf-8") as f:
            for line in f:
                if FENCE.match(line):
                    in_fence = not in_fence
                    continue
                m = None if in_fence else HEADING.match(line)
                if not m:
                    continue
                base = slug(m.group(2))
                n = seen.get(base, 0)
                seen[base] = n + 1
                found.add(base if n == 0 else f"{base}-{n}")
        cache[path] = found
    return cache[path]


def targets(path):
    """(line number, target) of every link of a Markdown file, outside code."""
    in_fence = False
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            if FENCE.match(line):
                in_fence = not in_fence
                continue
            if in_fence:
                continue
            text = CODE_SPAN.sub("code", line)
            for pattern in (INLINE_LINK, REFERENCE, HTML_LINK):
                for m in pattern.finditer(text):
                    yield number, m.group(1).strip("<>")


def check_link(root, source, target):
    """What is wrong with the link, or None."""
    if not target or EXTERNAL.match(target):
        return None
    path, _, anchor = target.partition("#")
    path = urllib.parse.unquote(path)
    if path:
        if path.startswith("/"):
            return f"{target}: an absolute path, which works on no other copy"
        resolved = os.path.normpath(os.path.join(os.path.dirname(source), path))
        if os.path.relpath(resolved, root).startswith(".."):
            return f"{target}: outside the repository"
        if not os.path.exists(resolved):
            return f"{target}: no such file"
    else:
        resolved = source
    if anchor:
        if not resolved.endswith(".md") or os.path.isdir(resolved):
            return f"{target}: an anchor into a file that has no headings"
        if urllib.parse.unquote(anchor) not in anchors(resolved):
            return f"{target}: no heading \"#{anchor}\" in {os.path.relpath(resolved, root)}"
    return None


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                           os.path.join(os.path.dirname(__file__), ".."))
    broken = 0
    checked = 0
    for source in documents(root):
        for number, target in targets(source):
            checked += 1
            what = check_link(root, source, target)
            if what:
                broken += 1
                print(f"{os.path.relpath(source, root)}:{number}: {what}")
    if broken:
        print(f"{broken} broken link(s)")
        return 1
    print(f"{checked} links checked: every one leads somewhere")
    return 0


if __name__ == "__main__":
    sys.exit(main())

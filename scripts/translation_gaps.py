#!/usr/bin/env python3
"""Counts what each Qt Linguist file leaves undone: texts without a finished
translation, and translations that drop or add a placeholder (%1..%9) of
their source (the IMEI or file name it stands for would be lost or wrong).

  scripts/translation_gaps.py FILE.ts...

Prints one line per file and exits 1 when any file has a gap.
"""
import re
import sys
import xml.etree.ElementTree as ET

PLACEHOLDER = re.compile(r"%[1-9]")


def gaps(path):
    messages, unfinished, placeholder_faults = 0, [], []
    for context in ET.parse(path).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            messages += 1
            source = message.findtext("source") or ""
            translation = message.find("translation")
            text = (translation.text or "") if translation is not None else ""
            kind = translation.get("type") if translation is not None else "missing"
            if kind in ("unfinished", "missing") or not text.strip():
                unfinished.append(f"{name}: {source!r}")
            elif sorted(PLACEHOLDER.findall(source)) != sorted(PLACEHOLDER.findall(text)):
                placeholder_faults.append(f"{name}: {source!r} -> {text!r}")
    return messages, unfinished, placeholder_faults


def main(paths):
    failed = False
    for path in paths:
        messages, unfinished, faults = gaps(path)
        name = path.rsplit("/", 1)[-1]
        print(f"{name}: {messages} source texts, {len(unfinished)} unfinished, "
              f"{len(faults)} with placeholders that differ from the source")
        for text in unfinished[:20]:
            print(f"  unfinished: {text}")
        for text in faults:
            print(f"  placeholders: {text}")
        failed = failed or bool(unfinished or faults)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

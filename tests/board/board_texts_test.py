#!/usr/bin/env python3
"""The board page's catalogues of texts: every language has every text of
the English one, with the same {places} (a place lost drops a number from the
page; one unknown shows as "{name}"), none empty and none besides; every key
the page uses is in English, and every English key is used; and the
languages of the catalogues are those the board's C++ and its build name.

usage: board_texts_test.py SRC_DIR
Also checks itself: a copy with a text taken out of one catalogue must fail.
"""
import json
import os
import re
import shutil
import sys
import tempfile

PLACE = re.compile(r"\{(\w+)\}")


def check(src):
    assets = os.path.join(src, "board", "assets")
    folder = os.path.join(assets, "texts")
    problems = []
    catalogues = {}
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".json"):
            continue
        try:
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                texts = json.load(f)
        except ValueError as e:
            problems.append(f"{name}: not JSON: {e}")
            continue
        if not isinstance(texts, dict) or not all(isinstance(v, str) for v in texts.values()):
            problems.append(f"{name}: not an object of texts")
            continue
        catalogues[name[:-len(".json")]] = texts
    english = catalogues.get("en")
    if english is None:
        return problems + ["texts/en.json, the source, is missing"]

    for code, texts in catalogues.items():
        for key in sorted(english.keys() - texts.keys()):
            problems.append(f"{code}.json lacks {key!r}")
        for key in sorted(texts.keys() - english.keys()):
            problems.append(f"{code}.json has {key!r}, which English has not")
        for key in sorted(english.keys() & texts.keys()):
            if not texts[key].strip():
                problems.append(f"{code}.json: {key!r} is empty")
            if set(PLACE.findall(texts[key])) != set(PLACE.findall(english[key])):
                problems.append(f"{code}.json: {key!r} has the places "
                                f"{sorted(set(PLACE.findall(texts[key])))}, English "
                                f"{sorted(set(PLACE.findall(english[key])))}")

    # The keys the page uses: data-text and data-label in the HTML, quoted
    # keys in the script; the states' words are looked up as 'state.' + state.
    page = open(os.path.join(assets, "index.html"), encoding="utf-8").read()
    script = open(os.path.join(assets, "board.js"), encoding="utf-8").read()
    used = set(re.findall(r'data-(?:text|label)="([\w.]+)"', page))
    used |= set(re.findall(r"'((?:%s)\.[\w.]+)'" % "|".join(
        {k.split(".")[0] for k in english}), script))
    if "'state.' + state" in script:
        used |= {k for k in english if k.startswith("state.")}
    for key in sorted(used - english.keys()):
        problems.append(f"the page uses {key!r}, which en.json lacks")
    for key in sorted(english.keys() - used):
        problems.append(f"en.json has {key!r}, which the page never uses")

    # Where a language is named besides its catalogue.
    cpp = open(os.path.join(src, "board", "board_language.cpp"), encoding="utf-8").read()
    in_cpp = set(re.findall(r'\{"(\w+)", "[\w-]+"\}', cpp))
    build = open(os.path.join(src, "CMakeLists.txt"), encoding="utf-8").read()
    listed = re.search(r"foreach\(code ([\w ]+)\)\s*\n\s*list\(APPEND board_asset_files", build)
    in_build = set(listed.group(1).split()) if listed else set()
    for where, codes in (("src/board/board_language.cpp", in_cpp), ("src/CMakeLists.txt", in_build)):
        if codes != set(catalogues):
            problems.append(f"{where} names the languages {sorted(codes)}, the catalogues are "
                            f"{sorted(catalogues)}")
    return problems


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    src = os.path.abspath(argv[1])
    problems = check(src)
    for p in problems:
        print("FAIL: " + p, file=sys.stderr)

    # The check itself: a copy whose Vietnamese lacks a text must fail.
    work = tempfile.mkdtemp(prefix="board-texts-")
    try:
        copy = os.path.join(work, "src")
        os.makedirs(os.path.join(copy, "board"))
        shutil.copytree(os.path.join(src, "board", "assets"), os.path.join(copy, "board", "assets"))
        shutil.copy(os.path.join(src, "board", "board_language.cpp"), os.path.join(copy, "board"))
        shutil.copy(os.path.join(src, "CMakeLists.txt"), copy)
        path = os.path.join(copy, "board", "assets", "texts", "vi.json")
        with open(path, encoding="utf-8") as f:
            texts = json.load(f)
        del texts["card.check_fixture"]
        with open(path, "w", encoding="utf-8") as f:
            json.dump(texts, f, ensure_ascii=False)
        if not any("lacks 'card.check_fixture'" in p for p in check(copy)):
            print("FAIL: the check passes a catalogue that lacks a text", file=sys.stderr)
            problems.append("self-check")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if not problems:
        print("ok: every catalogue has every text of en.json, with its places")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

"""The line board in its readers' languages, as board_browser_test.py's
Chromium shows it while port 1 is green, port 2 red with its fixture alarm
and port 3 running: a page asked for by a browser set to Chinese
(Accept-Language zh-CN) and one asked for with ?lang=vi show their texts and
no English one, each card's state as a word and a sign read from three metres
(cap height 40 px on a 1080p screen), nothing cut off wide or narrow, PASS and FAIL
apart in lightness for a reader without red and green, and the JSON API as it
was. Screenshots of both, wide and narrow, for whoever looks.
"""
import json
import os
import re
import sys
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "board"))
import board_colours_test as colours  # noqa: E402

TEXTS = os.path.join(HERE, "..", "..", "src", "board", "assets", "texts")
SIGNS = {"green": "\u2713", "red": "\u2717", "running": "\u25B6"}
MIN_CAP_HEIGHT = 40

# What a card shows, measured where the browser lays it out: its state's word
# and sign, their ink height and the cap height of their type, the lines the
# word takes, and every element of the card whose text is wider than its box.
MEASURE = """(card) => {
  const word = card.querySelector('.state .word');
  const style = getComputedStyle(word);
  const ctx = document.createElement('canvas').getContext('2d');
  ctx.font = `${style.fontWeight} ${style.fontSize} ${style.fontFamily}`;
  const m = ctx.measureText(word.textContent);
  return {
    port: Number(card.dataset.port), state: card.dataset.state, word: word.textContent,
    sign: (card.querySelector('.state .sign') || {}).textContent || '',
    fontSize: style.fontSize, width: card.clientWidth,
    lines: Math.round(card.querySelector('.state .label').getBoundingClientRect().height /
                      parseFloat(style.lineHeight)),
    capHeight: ctx.measureText('H').actualBoundingBoxAscent,
    inkHeight: m.actualBoundingBoxAscent + m.actualBoundingBoxDescent,
    background: getComputedStyle(card.querySelector('.state')).backgroundColor,
    text: card.innerText,
    cut: [card, ...card.querySelectorAll('.state .label, .head, .body > *')]
      .filter((e) => e.scrollWidth > e.clientWidth + 1).map((e) => e.className + ': ' + e.textContent),
  };
}"""
CARDS = f"[...document.querySelectorAll('article.card')].map({MEASURE})"

# The states the line does not show now, interrupted (with its IMEI pending)
# and idle, on cards the page's own renderCard draws beside the others,
# measured and taken away again at once.
OTHER_STATES = f"""(() => {{
  const box = document.getElementById('ports');
  const base = {{station: 'probe', state: 'idle', started_at: null, customer: null,
    unit_serial: null, operator: null, last_outcome: null, last_ended_at: null, failed_line: null,
    failed_text: null, runs_today: 0, first_pass_yield_today: null, fixture_alarm: false}};
  [{{last_outcome: 'interrupted', imei_pending: true}}, {{}}].forEach((extra, i) => {{
    const card = {{el: document.createElement('article'),
                   data: Object.assign({{}}, base, extra, {{port: 90 + i}})}};
    card.el.dataset.port = String(90 + i);
    card.el.dataset.probe = 'yes';
    renderCard(card);
    box.append(card.el);
  }});
  const probes = [...box.querySelectorAll('article[data-probe]')];
  const measured = probes.map({MEASURE});
  probes.forEach((e) => e.remove());
  return measured;
}})()"""


def catalogue(code):
    with open(os.path.join(TEXTS, code + ".json"), encoding="utf-8") as f:
        return json.load(f)


def english_left(page, code):
    """English texts of the page that a translated page still shows: the
    longest fixed part of each text that its translation does not share."""
    english, ours = catalogue("en"), catalogue(code)
    shown = page.evaluate("document.body.innerText + ' ' + document.title")
    left = []
    for key, text in english.items():
        fixed = max((part.strip(" ·:,()…") for part in re.split(r"\{\w+\}", text)), key=len)
        if len(fixed) > 3 and fixed not in ours[key] and fixed in shown:
            left.append(f"{key}: {fixed!r}")
    return left


def check_page(page, code, tag, fail):
    texts = catalogue(code)
    if page.evaluate("document.documentElement.lang") != tag:
        fail(f"the {code} page is <html lang={page.evaluate('document.documentElement.lang')!r}>")
    if not page.wait_for("document.querySelectorAll('article.card').length === 3 && "
                         "document.querySelector('article.card[data-port=\"3\"]').dataset.state "
                         "=== 'running'"):
        fail(f"the {code} page never showed its three cards with port 3 running")
    if page.evaluate("document.querySelector('h1').textContent") != texts["page.title"]:
        fail(f"the {code} page's title is not {texts['page.title']!r}")
    cards = {c["port"]: c for c in page.evaluate(CARDS)}
    for card in page.evaluate(OTHER_STATES):
        if card["word"] != texts["state." + card["state"]]:
            fail(f"the {code} page shows {card['state']} as {card['word']!r}")
        if card["cut"] or card["lines"] != 1:
            fail(f"the {code} page's {card['word']!r} takes {card['lines']} lines or is cut off "
                 f"on a card {card['width']} px wide: {card['cut']}")
    for port, state in ((1, "green"), (2, "red"), (3, "running")):
        card = cards[port]
        if card["state"] != state or card["word"] != texts["state." + state] or \
                card["sign"] != SIGNS[state]:
            fail(f"the {code} page's port {port} shows {card['word']!r} {card['sign']!r}, "
                 f"not {texts['state.' + state]!r} {SIGNS[state]!r}")
        if card["cut"]:
            fail(f"the {code} page cuts off text on port {port}: {card['cut']}")
    red = cards[2]["text"]
    for expected in (texts["card.check_fixture"],
                     texts["card.failed_at_line"].format(line=2, text="ti"),
                     texts["card.port"].format(port=2)):
        if expected not in red:
            fail(f"the {code} page's red card lacks {expected!r}: {red!r}")
    left = english_left(page, code)
    if left:
        fail(f"the {code} page still shows English: {left}")
    return cards


def check_languages(browser, url, shots, fail):
    base = url.rstrip("/")

    def api_as_read_elsewhere():
        with urllib.request.urlopen(base + "/api/ports", timeout=10) as answer:
            return answer.read().decode()

    # Chinese as a browser set to it asks; the others by ?lang= (es, pt_BR and
    # English for their longer words, without screenshots).
    for code, tag, address, accept in (("zh_CN", "zh-CN", base + "/", "zh-CN,zh;q=0.9,en;q=0.5"),
                                       ("vi", "vi", base + "/?lang=vi", None),
                                       ("es", "es", base + "/?lang=es", "zh-CN"),
                                       ("pt_BR", "pt-BR", base + "/?lang=pt-BR", None),
                                       ("en", "en", base + "/", "fr-FR,fr;q=0.9")):
        shoot = shots and code in ("zh_CN", "vi")
        # A 1080p wall screen, as the supervisors' are.
        page = browser.open(address, width=1920, height=1080, accept_language=accept)
        cards = check_page(page, code, tag, fail)
        # Read across the floor: on a wall screen the state's capitals stand 40 px tall.
        for port, card in cards.items():
            height = min(card["capHeight"], card["inkHeight"])
            if height < MIN_CAP_HEIGHT:
                fail(f"the {code} page's port {port} state is {height:.1f} px tall, not "
                     f"{MIN_CAP_HEIGHT} ({card['fontSize']} type on a card {card['width']} px wide)")
            if card["lines"] != 1:
                fail(f"the {code} page's port {port} state {card['word']!r} takes "
                     f"{card['lines']} lines on a card {card['width']} px wide")
        problems, seen = colours.check_pass_fail(colours.parse_colour(cards[1]["background"]),
                                                 colours.parse_colour(cards[2]["background"]))
        if problems:
            fail(f"the {code} page's PASS and FAIL colours ({seen}): {problems}")
        # The page's own request for the API, in the reader's language: the
        # same answer as a line's other system gets.
        api = api_as_read_elsewhere()
        same = page.evaluate("fetch('/api/ports', {cache: 'no-store'}).then((r) => r.text())")
        if same != api:
            fail(f"the {code} page got another /api/ports: {same!r} against {api!r}")
        if shoot:
            page.screenshot(os.path.join(shots, f"board-{code}.png"))
        page.call("Emulation.setDeviceMetricsOverride", width=420, height=900,
                  deviceScaleFactor=1, mobile=False)
        if not page.wait_for("document.documentElement.clientWidth === 420"):
            fail("the page did not narrow")
        narrow = page.evaluate(CARDS)
        for card in narrow:
            if card["cut"]:
                fail(f"the narrow {code} page cuts off text on port {card['port']}: {card['cut']}")
        if page.evaluate("document.documentElement.scrollWidth > window.innerWidth"):
            fail(f"the narrow {code} page is wider than its screen")
        if shoot:
            page.screenshot(os.path.join(shots, f"board-{code}-narrow.png"), full_page=True)
        page.call("Page.close")
    for card in json.loads(api):
        if card.get("state") not in ("running", "idle") or \
                card.get("last_outcome") not in ("green", "red", "interrupted", None):
            fail(f"/api/ports is no longer in English: {card!r}")

#!/usr/bin/env python3
"""Checks an HTML export of the demo grid as a browser saw it.

Usage: html_export_check.py DOM PROBE_DOM
  DOM        the export as the browser parsed it (chromium --dump-dom of the file)
  PROBE_DOM  the same for a copy of the export with a script appended that writes, for
             every table cell, its class, its computed background and its link into a
             <pre id="probe"> block (see PROBE_SCRIPT)

Exits 0 when every count link opens a new window (target="_blank"), when the classes
of the style block give the green, yellow and red backgrounds, and when the browser
paints the count cells in those three colours; otherwise prints what is wrong and
exits 1.
"""

import html.parser
import re
import sys

# Appended to the copy of the export before it is loaded.
PROBE_SCRIPT = """
<script>
const rows = [];
for (const td of document.querySelectorAll('td')) {
  const a = td.querySelector('a');
  rows.push([td.className, getComputedStyle(td).backgroundColor,
             a ? 'link' : 'text', a ? (a.getAttribute('target') || '') : '',
             td.textContent.trim()].join('\\t'));
}
const pre = document.createElement('pre');
pre.id = 'probe';
pre.textContent = rows.join('\\n');
document.body.appendChild(pre);
</script>
"""

BANDS = {
    "00FF00": "rgb(0, 255, 0)",
    "FFFF00": "rgb(255, 255, 0)",
    "FF3C3C": "rgb(255, 60, 60)",
}


class Links(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.links = []  # (href, target)
        self.styles = []
        self._in_style = False

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "a":
            self.links.append((attrs.get("href", ""), attrs.get("target")))
        elif tag == "style":
            self._in_style = True

    def handle_endtag(self, tag):
        if tag == "style":
            self._in_style = False

    def handle_data(self, data):
        if self._in_style:
            self.styles.append(data)


def main(dom_file, probe_file):
    problems = []
    with open(dom_file, encoding="utf-8", errors="replace") as f:
        dom = f.read()
    parser = Links()
    parser.feed(dom)

    # Every link of the document is a count link of the demo run, three per phrase, and
    # opens the public results page: the API key never travels with an export.
    count_links = [href for href, _ in parser.links
                   if href.startswith("https://www.google.com/search?q=")]
    if len(count_links) < 3:
        problems.append(f"only {len(count_links)} count links in the document")
    for href, target in parser.links:
        if target != "_blank":
            problems.append(f'link without target="_blank": {href} (target={target!r})')
        if "key=" in href or "api_key" in href or "cx=" in href:
            problems.append(f"link carries the key or engine code: {href}")

    # The classes of the style block: which class gives which background.
    classes = dict(
        re.findall(r"\.(c\d+)\s*\{[^}]*background-color:\s*#([0-9A-Fa-f]{6})",
                   "".join(parser.styles)))
    for code in BANDS:
        if code not in {c.upper() for c in classes.values()}:
            problems.append(f"no class gives the background #{code}")

    # What the browser painted: every count cell in one of the three bands, the class's
    # own colour, each band at least once.
    with open(probe_file, encoding="utf-8", errors="replace") as f:
        probe = f.read()
    match = re.search(r'<pre id="probe">(.*?)</pre>', probe, re.S)
    if not match:
        problems.append("the probe script wrote nothing")
        cells = []
    else:
        cells = [line.split("\t") for line in html.unescape(match.group(1)).splitlines()]
    painted = set()
    count_cells = 0
    for cls, background, kind, target, text in cells:
        if kind != "link":
            continue
        count_cells += 1
        code = classes.get(cls, "").upper()
        if code not in BANDS:
            problems.append(f"count cell {text} has class {cls}, not a band's")
        elif background != BANDS[code]:
            problems.append(f"count cell {text} painted {background}, its class says #{code}")
        else:
            painted.add(code)
        if target != "_blank":
            problems.append(f"count cell {text}: link target {target!r}")
    if count_cells != len(count_links):
        problems.append(f"{count_cells} count cells painted, {len(count_links)} count links")
    for code in BANDS:
        if code not in painted:
            problems.append(f"no count cell painted #{code}")

    for problem in problems:
        print("html export:", problem)
    if problems:
        return 1
    print(f"html export: {len(count_links)} count links, all target=\"_blank\"; "
          f"classes {', '.join(sorted(k for k, v in classes.items() if v.upper() in BANDS))} "
          f"give the three bands and the browser paints them")
    return 0


if __name__ == "__main__":
    if len(sys.argv) == 2 and sys.argv[1] == "--probe-script":
        sys.stdout.write(PROBE_SCRIPT)
        sys.exit(0)
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))

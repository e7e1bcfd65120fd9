#!/usr/bin/env python3
"""Checks the HTML command reference as a browser builds it: headless Chromium
loads commands.html#q=slerp (then pick, look at and ray) and dumps the page after
its script has run; exactly the keywords where every word of the query starts a
word of their name, family title or summary (from the command table) must be left
visible, each under an index entry that is visible too, and "ray" finds the ray
commands but not every array. Then it saves a screenshot of the unfiltered
page as the browser shows it.

With a guide.html, it checks the guide as a page too (check_guide).

  tools/check_html.py commands.tab commands.html screenshot.png [guide.html]"""

import os
import re
import subprocess
import sys
import tempfile
from html.parser import HTMLParser

import tablegen


class Visible(HTMLParser):
    """The data-k of every element, and whether it or an enclosing element is hidden."""

    VOID = {"meta", "link", "input", "br", "img", "hr"}

    def __init__(self):
        super().__init__()
        self.stack = []  # hidden flags of the open elements
        self.entries, self.index = {}, {}

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        hidden = (self.stack[-1] if self.stack else False) or "hidden" in a
        if "data-k" in a:
            target = self.entries if "kw" in (a.get("class") or "").split() else self.index
            target[a["data-k"]] = not hidden
        if tag not in self.VOID:
            self.stack.append(hidden)

    def handle_endtag(self, tag):
        if tag not in self.VOID and self.stack:
            self.stack.pop()


def chromium(*args):
    with tempfile.TemporaryDirectory() as profile:
        cmd = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
               f"--user-data-dir={profile}", "--virtual-time-budget=3000", *args]
        return subprocess.run(cmd, check=True, capture_output=True, text=True, timeout=120).stdout


def main():
    table_path, page, screenshot = sys.argv[1:4]
    url = "file://" + os.path.abspath(page)
    table = tablegen.Table(table_path)
    types, _ = tablegen.reference(table)
    search = {e["keyword"].lower(): e["search"] for t in types for f in t["families"] for e in f["keywords"]}
    problems = []
    for query in ("slerp", "pick", "look at", "ray"):
        wanted = {k for k, text in search.items() if tablegen.filter_matches(text, query)}
        dom = Visible()
        dom.feed(chromium("--dump-dom", url + "#q=" + query.replace(" ", "%20")))
        visible = {k for k, shown in dom.entries.items() if shown}
        if len(dom.entries) != len(search):
            problems.append(f"{len(dom.entries)} keyword entries in the page")
        if not wanted or visible != wanted:
            problems.append(f"#q={query} leaves {sorted(visible)} visible, not {sorted(wanted)}")
        if {k for k, shown in dom.index.items() if shown} != wanted:
            problems.append(f"#q={query} leaves other index entries visible")
        if query == "ray" and ("pvec3_makearray" in visible or "pray_hitsphere" not in visible):
            problems.append("#q=ray finds pVec3_MakeArray, or not pRay_HitSphere: not at word starts")
    if problems:
        sys.exit("commands.html: " + "; ".join(problems))

    chromium(f"--screenshot={os.path.abspath(screenshot)}", "--window-size=1280,1000", url)
    if not os.path.getsize(screenshot):
        sys.exit(f"{screenshot}: empty")
    print(f"commands.html: slerp, pick, look at and ray each show exactly the keywords they name; screenshot {screenshot}")
    if len(sys.argv) > 4:
        check_guide(sys.argv[4], dom_ids(chromium("--dump-dom", url)))


def dom_ids(html):
    return set(re.findall(r'\sid="([^"]+)"', html))


def check_guide(guide, command_ids):
    """The guide as a page: as the browser builds it, every link into commands.html
    lands on an entry there, and every picture loads (a page of the same folder
    loads each and says how many it could draw)."""
    folder = os.path.dirname(os.path.abspath(guide))
    dom = chromium("--dump-dom", "file://" + os.path.abspath(guide))
    links = re.findall(r'href="commands\.html#([^"]+)"', dom)
    missing = sorted(set(links) - command_ids)
    pictures = re.findall(r'<img[^>]* src="([^"]+)"', dom)
    probe = os.path.join(folder, "pictures-probe.html")
    with open(probe, "w", encoding="utf-8") as f:
        f.write("<!DOCTYPE html><body>" + "".join(f'<img src="{p}">' for p in pictures) +
                "<script>window.onload = function () { var n = 0; document.querySelectorAll('img').forEach("
                "function (i) { if (i.naturalWidth > 0) n++; }); document.body.setAttribute('data-drawn', n); };"
                "</script></body>")
    drawn = re.search(r'data-drawn="(\d+)"', chromium("--dump-dom", "file://" + probe))
    os.remove(probe)
    problems = [f"links to commands.html#{m}, which has no such entry" for m in missing]
    if not links:
        problems.append("no link into commands.html")
    if not pictures or not drawn or int(drawn.group(1)) != len(pictures):
        problems.append(f"{drawn.group(1) if drawn else 'none'} of its {len(pictures)} pictures load")
    if problems:
        sys.exit("guide.html: " + "; ".join(problems))
    print(f"guide.html: its {len(set(links))} links into commands.html land on their entries; its {len(pictures)} pictures load")


if __name__ == "__main__":
    main()

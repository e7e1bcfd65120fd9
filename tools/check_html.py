#!/usr/bin/env python3
"""Checks the HTML command reference as a browser builds it: headless Chromium
loads commands.html#q=slerp (then pick, look at and ray) and dumps the page after
its script has run; exactly the keywords where every word of the query starts a
word of their name, family title or summary (from the command table) must be left
visible, each under an index entry that is visible too, and "ray" finds the ray
commands but not every array. In a window 600 pixels wide, the index must stand
above the text and nothing may stick out sideways unless it is in a box of its own
that scrolls, and at three widths a link's target must show below the sticky header
(check_narrow). Then it saves a screenshot of the unfiltered page as
the browser shows it.

With a guide.html, it checks the guide as a page too (check_guide).

  tools/check_html.py commands.tab commands.html screenshot.png [guide.html]"""

import html
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
    problems += check_narrow(page, "pvec3_makearray")
    if problems:
        sys.exit("commands.html: " + "; ".join(problems))

    chromium(f"--screenshot={os.path.abspath(screenshot)}", "--window-size=1280,1000", url)
    if not os.path.getsize(screenshot):
        sys.exit(f"{screenshot}: empty")
    print(f"commands.html: slerp, pick, look at and ray each show exactly the keywords they name; 600 pixels wide, "
          f"the index stands above the text and nothing is cut off; a link's target shows below the header; screenshot {screenshot}")
    if len(sys.argv) > 4:
        check_guide(sys.argv[4], dom_ids(chromium("--dump-dom", url)))


PROBE = """<script>
window.addEventListener('load', function () { setTimeout(function () {
  var w = window.innerWidth, cut = [];
  function scrolls(el) {
    for (var p = el.parentElement; p; p = p.parentElement) {
      var o = getComputedStyle(p).overflowX;
      if (o === 'auto' || o === 'scroll') return true;
    }
    return false;
  }
  document.querySelectorAll('body *').forEach(function (el) {
    var r = el.getBoundingClientRect();
    if (r.width === 0 || r.height === 0 || (r.right <= w + 1 && r.left >= -1) || scrolls(el)) return;
    cut.push(el.tagName.toLowerCase() + (el.id ? '#' + el.id : '') + ' ' + Math.round(r.left) + '..' + Math.round(r.right));
  });
  var nav = document.querySelector('.page > nav'), main = document.querySelector('main');
  var stacked = !nav || nav.getBoundingClientRect().bottom <= main.getBoundingClientRect().top + 1;
  var header = document.querySelector('header'), target = location.hash && document.getElementById(location.hash.slice(1));
  var under = target && getComputedStyle(header).position === 'sticky' &&
      target.getBoundingClientRect().top < header.getBoundingClientRect().bottom - 1;
  var scrolled = !target || window.scrollY > 0;
  document.body.setAttribute('data-probe', [w, cut.length, stacked ? 1 : 0, under || !scrolled ? 1 : 0, cut.slice(0, 4).join('; ')].join('|'));
}, 100); });
</script>"""


def measure(page, width, target=""):
    """The page in a window `width` pixels wide, opened at #target, as its own copy
    with a script that measures it: no element sticking out of the window sideways
    except inside a box that scrolls, the index (if any) above the text, and the
    target not hidden under the sticky header."""
    with open(page, encoding="utf-8") as f:
        text = f.read()
    probe = os.path.join(os.path.dirname(os.path.abspath(page)), "probe.html")
    with open(probe, "w", encoding="utf-8") as f:
        f.write(text.replace("</body>", PROBE + "</body>", 1))
    try:
        dom = chromium("--dump-dom", f"--window-size={width},900", "file://" + probe + (f"#{target}" if target else ""))
    finally:
        os.remove(probe)
    m = re.search(r'data-probe="(\d+)\|(\d+)\|(\d)\|(\d)\|([^"]*)"', dom)
    name = os.path.basename(page)
    if not m or int(m.group(1)) != width:
        return [f"{name}: a window {width} pixels wide could not be measured"]
    problems = []
    if m.group(2) != "0":
        problems.append(f"{name}: {m.group(2)} elements cut off in a {width}-pixel window ({html.unescape(m.group(5))})")
    if width <= 600 and m.group(3) != "1":
        problems.append(f"{name}: in a {width}-pixel window the index is not above the text")
    if m.group(4) != "0":
        problems.append(f"{name}: #{target} in a {width}-pixel window lies under the header")
    return problems


def check_narrow(page, target):
    """600 pixels wide, the page stacks and cuts nothing off; at three widths a link
    to `target` shows it below the sticky header."""
    return measure(page, 600) + [p for width in (900, 1280, 1600) for p in measure(page, width, target)]


def dom_ids(text):
    return set(re.findall(r'\sid="([^"]+)"', text))


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
    # Code in the text that starts with a keyword is a link (pVec3_MakeArray(count) too).
    keywords = {k for k in command_ids if re.match(r"^p[a-z0-9]+_", k)}
    unlinked = [c for c in re.findall(r'(?<!">)(?<!<pre>)<code>(p[A-Z][A-Za-z0-9]*_[A-Za-z0-9]+)', dom) if c.lower() in keywords]
    if unlinked or '<a href="commands.html#pvec3_makearray"><code>pVec3_MakeArray(count)</code></a>' not in dom:
        problems.append(f"code naming a keyword is no link: {sorted(set(unlinked))[:5] or 'pVec3_MakeArray(count)'}")
    # A link that shows a file's name goes to that file.
    for href, shown in re.findall(r'<a href="([^"#]*)[^"]*"><code>([\w.]+\.(?:md|html))</code></a>', dom):
        if href != shown:
            problems.append(f"a link shown as {shown} goes to {href}")
    # The contents list links every section.
    contents = re.search(r'<nav class="toc".*?</nav>', dom, re.S)
    sections = set(re.findall(r'<h2 id="([^"]+)"', dom))
    if not contents or not sections or sections - set(re.findall(r'href="#([^"]+)"', contents.group(0))):
        problems.append("the contents list does not link every section")
    problems += check_narrow(guide, "conventions")
    if not pictures or not drawn or int(drawn.group(1)) != len(pictures):
        problems.append(f"{drawn.group(1) if drawn else 'none'} of its {len(pictures)} pictures load")
    if problems:
        sys.exit("guide.html: " + "; ".join(problems))
    print(f"guide.html: its {len(set(links))} links into commands.html land on their entries, code naming a keyword "
          f"links it, its contents list links its {len(sections)} sections; its {len(pictures)} pictures load; "
          f"600 pixels wide nothing is cut off; a link's target shows below the header")


if __name__ == "__main__":
    main()

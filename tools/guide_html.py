#!/usr/bin/env python3
"""Makes the user guide a page: docs/guide.md to guide.html, in the look of the
command reference, with a list of its sections, its pictures inline, its links to
the Markdown pages turned into links to their HTML pages (except a link whose
text names the Markdown file, which stays on it), and every keyword it names in
code (alone, or with its arguments) a link to its entry in commands.html.

  tools/guide_html.py commands.tab guide.md guide.html"""

import re
import sys

import markdown

import tablegen

KEYWORD = r"p[A-Z][A-Za-z0-9]*_[A-Za-z0-9]+"


def page(table, text, version):
    keywords = {row.keyword for row in table.rows.values()}
    md = markdown.Markdown(extensions=["fenced_code", "tables", "toc"], extension_configs={"toc": {"toc_depth": "2-3"}})
    body = md.convert(text)

    def link(m):
        # A link that shows the Markdown file's name goes to that file; the others to the page.
        if re.search(r"\.md(#[^<]*)?</code>$|\.md$", m.group(3)):
            return m.group(0)
        return f'<a href="{m.group(1)}.html{m.group(2) or ""}">{m.group(3)}</a>'

    body = re.sub(r'<a href="(commands|guide)\.md(#[^"]*)?">(.*?)</a>', link, body)
    # Code in the text, not a block of code (a <pre>) nor the text of a link the guide
    # makes itself: a span that is a keyword, alone or with its arguments
    # (`pVec3_MakeArray(count)`), is a link; in any other span (`d# = pVec3_Dot(a, b)`)
    # each keyword is.
    def code(m):
        if m.group(1):
            return m.group(0)
        span = m.group(2)
        first = re.match(rf"({KEYWORD})(?:[ (]|$)", span)
        if first and first.group(1) in keywords:
            return f'<a href="commands.html#{tablegen.anchor(first.group(1))}"><code>{span}</code></a>'
        return "<code>" + re.sub(rf"\b{KEYWORD}\b", lambda k: f'<a href="commands.html#{tablegen.anchor(k.group(0))}">{k.group(0)}</a>'
                                 if k.group(0) in keywords else k.group(0), span) + "</code>"

    body = re.sub(r'(<a href="[^"]*">)?(?<!<pre>)<code>([^<]*)</code>', code, body)
    contents = md.toc.replace('<div class="toc">', '<nav class="toc" aria-label="Contents"><p><strong>Contents</strong></p>', 1)
    contents = contents[:contents.rindex("</div>")] + "</nav>"
    body = re.sub(r"(</h1>)", lambda m: m.group(1) + "\n" + contents, body, count=1)
    style = tablegen.HTML_STYLE + """
main { max-width: 52em; margin: 0 auto; }
[id] { scroll-margin-top: 3.5em; }
pre { background: #f2f2f4; padding: .6em .8em; overflow-x: auto; }
pre code { background: none; padding: 0; overflow-wrap: normal; }
img { max-width: 100%; }
table { border-collapse: collapse; display: block; max-width: 100%; overflow-x: auto; }
td, th { border: 1px solid #ccd; padding: .2em .5em; vertical-align: top; }
nav.toc { position: static; width: auto; max-height: none; overflow: visible; border: 1px solid #dde; background: #f8f9fa;
          padding: .4em 1em; margin: 1em 0; font-size: .9em; }
nav.toc p { margin: .2em 0; }
nav.toc ul { list-style: none; padding-left: 1.2em; margin: 0; }
nav.toc > ul { padding-left: 0; }
"""
    return "\n".join([
        "<!DOCTYPE html>", tablegen.GENERATED.replace("src/frame/commands.tab (tools/tablegen.py)", "docs/guide.md (tools/guide_html.py)")
        .replace("edit the table", "edit the guide").format(open="<!--", close="-->"),
        '<html lang="en">', "<head>", '<meta charset="utf-8">',
        '<meta name="viewport" content="width=device-width, initial-scale=1">',
        "<title>Kestrom_Vandu user guide</title>", f"<style>{style}</style>", "</head>", "<body>",
        f'<header><p>Kestrom_Vandu {version} · <a href="commands.html">command reference</a></p></header>',
        f"<main>{body}</main>", "</body>", "</html>", ""])


def main():
    table_path, source, target, version = sys.argv[1:5]
    table = tablegen.Table(table_path)
    with open(source, encoding="utf-8") as f:
        text = f.read()
    with open(target, "w", encoding="utf-8", newline="\n") as f:
        f.write(page(table, text, version))


if __name__ == "__main__":
    main()

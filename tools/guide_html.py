#!/usr/bin/env python3
"""Makes the user guide a page: docs/guide.md to guide.html, in the look of the
command reference, with its pictures inline, its links to the Markdown pages
turned into links to their HTML pages, and every keyword it names a link to its
entry in commands.html.

  tools/guide_html.py commands.tab guide.md guide.html"""

import re
import sys

import markdown

import tablegen


def page(table, text, version):
    keywords = {row.keyword for row in table.rows.values()}
    body = markdown.markdown(text, extensions=["fenced_code", "tables", "toc"])
    body = re.sub(r'href="(commands|guide)\.md(#[^"]*)?"', lambda m: f'href="{m.group(1)}.html{m.group(2) or ""}"', body)
    body = re.sub(r"<code>(p[A-Z][A-Za-z0-9]*_[A-Za-z0-9]+)</code>",
                  lambda m: f'<a href="commands.html#{tablegen.anchor(m.group(1))}"><code>{m.group(1)}</code></a>'
                  if m.group(1) in keywords else m.group(0), body)
    style = tablegen.HTML_STYLE + """
main { max-width: 52em; margin: 0 auto; }
pre { background: #f2f2f4; padding: .6em .8em; overflow-x: auto; }
pre code { background: none; padding: 0; }
img { max-width: 100%; }
table { border-collapse: collapse; } td, th { border: 1px solid #ccd; padding: .2em .5em; vertical-align: top; }
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

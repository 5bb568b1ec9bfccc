#!/usr/bin/env python3
"""Turns docs/USER_GUIDE.md into lumar-guide.html, one self-contained page that a browser shows offline.

    tools/guide_to_html.py docs/USER_GUIDE.md lumar-guide.html

Only the Markdown the guide uses is understood: headings, paragraphs, bullet and numbered lists (nested by
indentation), pipe tables, images, links, **bold**, *italic*, `code` and <br>. Pictures are embedded as
data: addresses, so the page needs no folder beside it; a link to another file of the repository becomes
plain text (it would lead nowhere on the user's machine). The same input gives the same bytes.
Standard library only.
"""
import base64
import html
import mimetypes
import os
import re
import sys

TITLE_FALLBACK = "Lumar user's guide"

STYLE = """
body { font-family: Segoe UI, Tahoma, sans-serif; max-width: 60em; margin: 2em auto; padding: 0 1em;
       line-height: 1.45; color: #1b1b1b; }
h1, h2, h3 { color: #173a63; }
table { border-collapse: collapse; margin: 0.8em 0; }
th, td { border: 1px solid #c8ccd2; padding: 0.3em 0.6em; vertical-align: top; text-align: left; }
th { background: #eef1f5; }
code { background: #f1f2f4; padding: 0 0.25em; }
img { max-width: 100%; }
"""


def slug(text):
    """The anchor GitHub gives a heading: lower case, punctuation dropped, spaces as hyphens."""
    text = re.sub(r"<[^>]+>", "", text).lower()
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


class Converter:
    def __init__(self, source_dir):
        self.source_dir = source_dir

    def image(self, alt, target):
        path = os.path.normpath(os.path.join(self.source_dir, target))
        if not os.path.isfile(path):
            raise SystemExit(f"guide_to_html: picture {target} not found ({path})")
        kind = mimetypes.guess_type(path)[0] or "application/octet-stream"
        with open(path, "rb") as f:
            data = base64.b64encode(f.read()).decode("ascii")
        return f'<img alt="{html.escape(alt)}" src="data:{kind};base64,{data}">'

    def link(self, text, target):
        if target.startswith("#") or re.match(r"^[a-z]+:", target):
            return f'<a href="{html.escape(target)}">{text}</a>'
        return text  # another file of the repository: not shipped

    def inline(self, text):
        """Inline Markdown of one line or cell, HTML-escaped except for <br>."""
        # Code spans are set aside first, so that nothing inside them is taken for markup, and put back
        # last (a bold phrase may hold one).
        codes = []

        def keep(match):
            codes.append(f"<code>{html.escape(match.group(1))}</code>")
            return f"\0{len(codes) - 1}\0"

        text = re.sub(r"`([^`]*)`", keep, text)
        text = html.escape(text, quote=False).replace("&lt;br&gt;", "<br>")
        text = re.sub(r"!\[([^\]]*)\]\(([^)\s]+)\)", lambda m: self.image(m.group(1), m.group(2)), text)
        text = re.sub(r"\[([^\]]+)\]\(([^)\s]+)\)", lambda m: self.link(m.group(1), m.group(2)), text)
        text = re.sub(r"\*\*(.+?)\*\*", r"<strong>\1</strong>", text)
        text = re.sub(r"(?<![\w*])\*(?!\s)(.+?)(?<!\s)\*(?![\w*])", r"<em>\1</em>", text)
        return re.sub(r"\0(\d+)\0", lambda m: codes[int(m.group(1))], text)

    def table(self, rows):
        def cells(row):
            row = row.strip()
            if row.startswith("|"):
                row = row[1:]
            if row.endswith("|"):
                row = row[:-1]
            return [c.strip() for c in re.split(r"(?<!\\)\|", row)]

        head, body = cells(rows[0]), [cells(r) for r in rows[2:]]
        out = ["<table>"]
        if any(head):
            out.append("<tr>" + "".join(f"<th>{self.inline(c)}</th>" for c in head) + "</tr>")
        for row in body:
            out.append("<tr>" + "".join(f"<td>{self.inline(c)}</td>" for c in row) + "</tr>")
        out.append("</table>")
        return out

    def items(self, lines):
        """A list, possibly nested by indentation: lines are (indent, ordered, text)."""
        out = []
        stack = []  # (indent, tag)
        for indent, ordered, text in lines:
            tag = "ol" if ordered else "ul"
            while stack and indent < stack[-1][0]:
                out.append(f"</li></{stack.pop()[1]}>")
            if not stack or indent > stack[-1][0]:
                stack.append((indent, tag))
                out.append(f"<{tag}><li>")
            else:
                out.append("</li><li>")
            out.append(self.inline(text))
        while stack:
            out.append(f"</li></{stack.pop()[1]}>")
        return ["".join(out)]

    def convert(self, markdown):
        lines = markdown.splitlines()
        body = []
        title = TITLE_FALLBACK
        i = 0
        item = re.compile(r"^(\s*)([-*]|\d+\.)\s+(.*)$")
        while i < len(lines):
            line = lines[i]
            if not line.strip():
                i += 1
                continue
            heading = re.match(r"^(#{1,6})\s+(.*)$", line)
            if heading:
                level, text = len(heading.group(1)), heading.group(2).strip()
                if level == 1:
                    title = re.sub(r"[*`]", "", text)
                body.append(f'<h{level} id="{slug(text)}">{self.inline(text)}</h{level}>')
                i += 1
            elif line.lstrip().startswith("|"):
                rows = []
                while i < len(lines) and lines[i].lstrip().startswith("|"):
                    rows.append(lines[i])
                    i += 1
                body.extend(self.table(rows))
            elif item.match(line):
                entries = []
                while i < len(lines) and lines[i].strip():
                    m = item.match(lines[i])
                    if m:
                        entries.append([len(m.group(1)), m.group(2)[0].isdigit(), m.group(3)])
                    else:  # a continuation line of the entry before
                        entries[-1][2] += " " + lines[i].strip()
                    i += 1
                body.extend(self.items(entries))
            elif line.startswith("```"):
                i += 1
                code = []
                while i < len(lines) and not lines[i].startswith("```"):
                    code.append(lines[i])
                    i += 1
                i += 1
                body.append("<pre><code>" + html.escape("\n".join(code)) + "</code></pre>")
            else:
                text = []
                while (i < len(lines) and lines[i].strip() and not re.match(r"^(#|\||```)", lines[i].lstrip())
                       and not item.match(lines[i])):
                    text.append(lines[i].strip())
                    i += 1
                body.append("<p>" + self.inline(" ".join(text)) + "</p>")
        return (
            "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            f"<title>{html.escape(title)}</title>\n<style>{STYLE}</style>\n</head>\n<body>\n"
            + "\n".join(body)
            + "\n</body>\n</html>\n"
        )


def main(argv):
    if len(argv) != 3:
        raise SystemExit("usage: guide_to_html.py USER_GUIDE.md OUTPUT.html")
    with open(argv[1], encoding="utf-8") as f:
        markdown = f.read()
    page = Converter(os.path.dirname(os.path.abspath(argv[1]))).convert(markdown)
    with open(argv[2], "w", encoding="utf-8", newline="\n") as f:
        f.write(page)


if __name__ == "__main__":
    main(sys.argv)

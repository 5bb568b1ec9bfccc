#!/usr/bin/env python3
"""Tests of guide_to_html.py: the Markdown the guide uses, and the real guide as the page users get."""
import os
import re
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import guide_to_html  # noqa: E402

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))


class Markup(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        with open(os.path.join(self.folder.name, "dot.png"), "wb") as f:
            f.write(b"\x89PNG-not-really")
        self.converter = guide_to_html.Converter(self.folder.name)

    def tearDown(self):
        self.folder.cleanup()

    def page(self, markdown):
        return self.converter.convert(markdown)

    def test_inline_markup(self):
        cases = [
            ("**bold**", "<strong>bold</strong>"),
            ("*Current Mode*", "<em>Current Mode</em>"),
            ("**The file `a<b>.exe`.** Run", "<strong>The file <code>a&lt;b&gt;.exe</code>.</strong> Run"),
            ("`**not bold**`", "<code>**not bold**</code>"),
            ("3 * 4 * 5", "3 * 4 * 5"),
            ("a <br> b & c", "a <br> b &amp; c"),
            ("[Presets](#presets)", '<a href="#presets">Presets</a>'),
            ("[site](https://example.org/x)", '<a href="https://example.org/x">site</a>'),
            ("[the notes](MULTIMONITOR.md)", "the notes"),  # not shipped: plain text
        ]
        for markdown, expected in cases:
            self.assertEqual(self.converter.inline(markdown), expected, markdown)

    def test_blocks(self):
        page = self.page(
            "# Guide *one*\n\nFirst line\nsecond line.\n\n"
            "## Common questions\n\n"
            "1. one\n   - inner a\n   - inner b\n     continued\n2. two\n\n"
            "| a | b |\n|---|---|\n| x \\| y | ![dot](dot.png) |\n"
        )
        self.assertIn("<title>Guide one</title>", page)
        self.assertIn('<h1 id="guide-one">Guide <em>one</em></h1>', page)
        self.assertIn("<p>First line second line.</p>", page)
        self.assertIn('<h2 id="common-questions">', page)
        self.assertIn("<ol><li>one<ul><li>inner a</li><li>inner b continued</li></ul></li><li>two</li></ol>", page)
        self.assertIn("<tr><th>a</th><th>b</th></tr>", page)
        self.assertIn('<td><img alt="dot" src="data:image/png;base64,iVBORy1ub3QtcmVhbGx5"></td>', page)

    def test_missing_picture_fails(self):
        with self.assertRaises(SystemExit):
            self.page("![gone](gone.png)")


class TheGuide(unittest.TestCase):
    """docs/USER_GUIDE.md as users get it: one page, nothing left as Markdown, nothing pointing outside."""

    @classmethod
    def setUpClass(cls):
        path = os.path.join(ROOT, "docs", "USER_GUIDE.md")
        with open(path, encoding="utf-8") as f:
            cls.markdown = f.read()
        cls.page = guide_to_html.Converter(os.path.dirname(path)).convert(cls.markdown)

    def test_same_bytes_every_time(self):
        path = os.path.join(ROOT, "docs", "USER_GUIDE.md")
        self.assertEqual(guide_to_html.Converter(os.path.dirname(path)).convert(self.markdown), self.page)

    def test_every_picture_embedded(self):
        sources = re.findall(r'<img [^>]*src="([^"]*)"', self.page)
        self.assertEqual(len(sources), len(re.findall(r"!\[", self.markdown)))
        self.assertGreater(len(sources), 30)
        for source in sources:
            self.assertTrue(source.startswith("data:image/"), source[:40])

    def test_every_anchor_leads_somewhere(self):
        ids = set(re.findall(r' id="([^"]+)"', self.page))
        targets = re.findall(r'href="#([^"]+)"', self.page)
        self.assertGreater(len(targets), 5)
        for target in targets:
            self.assertIn(target, ids)
        for target in re.findall(r'href="([^"#][^"]*)"', self.page):
            self.fail(f"a link out of the page: {target}")

    def test_no_markdown_left(self):
        text = re.sub(r"<code>.*?</code>", "", re.sub(r'src="data:[^"]*"', "", self.page))
        for leftover in ["**", "](", "\n|", "\n#"]:
            self.assertNotIn(leftover, text)
        self.assertIn('<h2 id="common-questions">', self.page)
        self.assertIn('<h2 id="when-something-goes-wrong">', self.page)


if __name__ == "__main__":
    unittest.main()

#!/usr/bin/env python3
"""Runs the message table generator on small catalogues of six ids.

Usage: gen_message_table_test.py GENERATOR FIXTURE_DIR

The well-formed catalogues must give a table whose C++ literals decode to their texts; each broken
catalogue must make the generator fail, name the file, line and id of the fault, and leave no table
behind.
"""

import os
import re
import subprocess
import sys
import tempfile

# (catalogue replaced, fixture, expected error after "fixture:"); the other two catalogues are the
# well-formed ones.
BROKEN = [
    ("zh-tw", "missing_id.msg", "5: error: id 4: missing"),
    ("zh-tw", "duplicate_id.msg", "5: error: id 3: duplicate (first at line 4)"),
    ("zh-tw", "out_of_order.msg", "4: error: id 2: out of order (after id 3)"),
    ("zh-tw", "out_of_range.msg", "8: error: id 7: out of range"),
    ("zh-tw", "no_colon.msg", "5: error: id 4: malformed line"),
    ("zh-tw", "unknown_escape.msg", "4: error: id 3: malformed line: unknown escape \\r"),
    ("zh-tw", "unterminated.msg", "7: error: id 6: malformed line: missing closing quote"),
    ("zh-tw", "text_after_quote.msg", "3: error: id 2: malformed line: unexpected characters"),
    ("zh-tw", "not_utf8.msg", "4: error: id 3: malformed line: not UTF-8"),
    ("zh-tw", "placeholder_order.msg",
     '3: error: id 2: placeholders "%02u" "%s" differ from English "%s" "%02u"'),
    ("zh-tw", "stray_percent.msg", '7: error: id 6: placeholders "% " differ'),
    ("zh-tw", "line_feeds.msg", "4: error: id 3: 0 line feeds, English has 1"),
    ("zh-tw", "accelerators.msg", "5: error: id 4: 0 & accelerators, English has 1"),
    ("zh-tw", "product_word.msg", '5: error: id 4: 0 product words "Quorvik"'),
    ("zh-tw", "leading_blanks.msg", '6: error: id 5: leading blanks " " differ from English "  "'),
    ("zh-tw", "trailing_blanks.msg", '6: error: id 5: trailing blanks "" differ from English " "'),
    ("zh-tw", "too_long.msg", "7: error: id 6: 150 bytes in cp950, at most 149 fit"),
    ("zh-tw", "not_encodable.msg", "7: error: id 6: character U+8BF4 '\u8bf4' cannot be encoded"),
    ("zh-tw", "empty_text.msg", "5: error: id 4: empty text, the English one is not"),
    ("zh-tw", "half_width_after_chinese.msg",
     '4: error: id 3: half-width "!" after Chinese text, use "\uff01"'),
    ("zh-cn", "first_not_empty.msg", "2: error: id 1: must be empty"),
    ("en", "en_empty_text.msg", "6: error: id 5: empty text"),
    ("zh-cn", "no_such_file.msg", " error: cannot read the catalogue"),
]

CATALOGUES = {"en": "en.msg", "zh-tw": "zh_TW.msg", "zh-cn": "zh_CN.msg"}
LITERAL_RE = re.compile(r'^ *("(?:[^"\\]|\\.)*"), // ([0-9]+)$', re.M)
C_ESCAPE_RE = re.compile(r"\\([0-7]{3}|.)")


def run(generator, fixtures, output, replaced=None, fixture=None):
    args = [sys.executable, generator, "--count", "6", "--output", output]
    for option, name in CATALOGUES.items():
        args += ["--" + option, os.path.join(fixtures, fixture if option == replaced else name)]
    return subprocess.run(args, capture_output=True, text=True, encoding="utf-8")


def decode_literal(literal):
    """The bytes of a C string literal that uses simple and three-digit octal escapes only."""
    simple = {"n": b"\n", "t": b"\t", "\\": b"\\", '"': b'"', "?": b"?"}

    def one(m):
        e = m.group(1)
        return chr(int(e, 8)) if len(e) == 3 else simple[e].decode("latin-1")

    return C_ESCAPE_RE.sub(one, literal[1:-1]).encode("latin-1")


def expected_texts(fixtures):
    """The texts of the well-formed catalogues, read independently of the generator."""
    texts = []
    for name in CATALOGUES.values():
        with open(os.path.join(fixtures, name), encoding="utf-8") as f:
            for line in f:
                m = re.match(r'([0-9]+): (?:\(empty\)|"(.*)")$', line.rstrip("\n"))
                if m:
                    body = m.group(2) or ""
                    body = re.sub(r"\\(.)", lambda e: {"n": "\n", "t": "\t"}.get(e[1], e[1]), body)
                    texts.append(body.encode("utf-8"))
    return texts


def main(generator, fixtures):
    failures = []
    with tempfile.TemporaryDirectory() as work:
        output = os.path.join(work, "message_table.cpp")

        result = run(generator, fixtures, output)
        if result.returncode != 0:
            failures.append("well-formed catalogues failed:\n" + result.stderr)
        else:
            with open(output, encoding="ascii") as f:
                source = f.read()
            literals = [decode_literal(m.group(1)) for m in LITERAL_RE.finditer(source)]
            if "kTexts[3][6]" not in source or literals != expected_texts(fixtures):
                failures.append("the table does not hold the catalogue texts: %r" % literals)

        for replaced, fixture, error in BROKEN:
            expected = fixture + ":" + error
            with open(output, "w") as f:
                f.write("stale table")
            result = run(generator, fixtures, output, replaced, fixture)
            errors = result.stderr.replace(fixtures + os.sep, "")
            if result.returncode == 0:
                failures.append("%s as %s: accepted" % (fixture, replaced))
            elif expected not in errors:
                failures.append("%s as %s: expected %r in:\n%s"
                                % (fixture, replaced, expected, errors))
            elif os.path.exists(output):
                failures.append("%s as %s: a table was left behind" % (fixture, replaced))
    for failure in failures:
        print("FAIL: " + failure)
    print("%d of %d cases failed" % (len(failures), len(BROKEN) + 1))
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])))

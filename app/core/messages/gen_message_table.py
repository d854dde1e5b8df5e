#!/usr/bin/env python3
"""Checks the three message catalogues and writes the C++ source of the message table.

A catalogue is a UTF-8 text file with one message per line, ids ascending, each exactly once:

    N: "text"      or      N: (empty)

Inside the quotes \\n is a line feed, \\t a tab, \\\\ a backslash and \\" a double quote; nothing
else is escaped, and blanks inside the quotes belong to the text. Lines that start with "#" and
blank lines are ignored.

The English catalogue is the reference. A translated text must keep its printf conversions in the
same order, the same number of line feeds, "&" accelerators and product words, and the same leading
and trailing blanks, because callers format it, join it with other texts and show it as a caption.
Every text must fit a 149-byte record in its language's code page. Any violation is reported as
"file:line: error: id N: ..." and the script exits with status 1 without writing the table.
"""

import argparse
import os
import re
import sys
import tempfile

MESSAGE_COUNT = 976
RECORD_TEXT_BYTES = 149  # a record is 150 bytes including the terminator
PRODUCT_WORD = "Quorvik"
# Id 1 is empty in every language. An English text may be empty only at these ids; a translated
# text is empty only where the English one is (the translators decide for the other empty ids).
ALWAYS_EMPTY_ID = 1
ENGLISH_EMPTY_IDS = (1, 814)

# (option, language, code page of its records); the order is the table's language order.
LANGUAGES = (
    ("en", "English", "cp1252"),
    ("zh_tw", "Traditional Chinese", "cp950"),
    ("zh_cn", "Simplified Chinese", "cp936"),
)

ESCAPES = {"n": "\n", "t": "\t", "\\": "\\", '"': '"'}
ID_RE = re.compile(r"([0-9]+):[ \t]*")
LEADING_ID_RE = re.compile(rb"[ \t]*([0-9]+)")
CONVERSION_RE = re.compile(
    r"%(?:%|[-+ #0]*(?:[0-9]+|\*)?(?:\.(?:[0-9]+|\*)?)?(?:hh|h|ll|l|L|j|z|t|I64|I32|q)?"
    r"[diouxXcsfFeEgGaApn])"
)
EDGE_BLANKS = " \t\n"


class Catalogue:
    def __init__(self, path, count):
        self.path = path
        self.count = count
        self.texts = {}  # id -> text, of the well-formed lines
        self.lines = {}  # id -> line number, of every line that names an id
        self.last_line = 0
        self.errors = []

    def error(self, line, message):
        self.errors.append((line, message))


def describe(text):
    """The text as it would be written in a catalogue, for error messages."""
    out = text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n").replace("\t", "\\t")
    return '"' + out + '"'


def describe_all(tokens):
    return " ".join(describe(t) for t in tokens) if tokens else "(none)"


def parse_quoted(body):
    """Parses '"text"' followed by optional blanks; returns (text, None) or (None, problem)."""
    chars = []
    i = 1
    while i < len(body):
        c = body[i]
        if c == '"':
            if body[i + 1 :].strip(" \t\r") != "":
                return None, "unexpected characters after the closing quote"
            return "".join(chars), None
        if c == "\\":
            if i + 1 >= len(body):
                return None, "a backslash at the end of the line"
            e = body[i + 1]
            if e not in ESCAPES:
                return None, "unknown escape \\%s (only \\n, \\t, \\\\ and \\\" are allowed)" % e
            chars.append(ESCAPES[e])
            i += 2
            continue
        if ord(c) < 0x20 or ord(c) == 0x7F:
            return None, ("raw control character U+%04X inside the quotes (write \\n or \\t)"
                          % ord(c))
        chars.append(c)
        i += 1
    return None, "missing closing quote"


def read_catalogue(path, count):
    cat = Catalogue(path, count)
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        cat.error(0, "cannot read the catalogue: %s" % e.strerror)
        return cat
    if data.startswith(b"\xef\xbb\xbf"):  # a byte order mark some editors write
        data = data[3:]
    raw_lines = data.split(b"\n")
    if raw_lines and raw_lines[-1] == b"":
        raw_lines.pop()
    cat.last_line = len(raw_lines)
    previous_id = 0
    for number, raw in enumerate(raw_lines, start=1):
        leading_id = LEADING_ID_RE.match(raw)
        msg_id = int(leading_id.group(1)) if leading_id else None
        what = "id %d: " % msg_id if leading_id else ""
        try:
            line = raw.decode("utf-8")
        except UnicodeDecodeError as e:
            cat.error(number, "%smalformed line: not UTF-8 (byte 0x%02X at column %d)"
                      % (what, raw[e.start], e.start + 1))
            line = None
            if msg_id is None:
                continue
        if line is not None and (line.startswith("#") or line.strip(" \t\r") == ""):
            continue
        if msg_id is None:
            cat.error(number, 'malformed line: expected N: "text" or N: (empty)')
            continue
        text = None
        if line is not None:
            m = ID_RE.match(line)
            body = line[m.end() :] if m else None
            if body is None:
                cat.error(number, '%smalformed line: expected N: "text" or N: (empty)' % what)
            elif body.rstrip(" \t\r") == "(empty)":
                text = ""
            elif body.startswith('"'):
                text, problem = parse_quoted(body)
                if problem:
                    cat.error(number, "%smalformed line: %s" % (what, problem))
            else:
                cat.error(number, '%smalformed line: expected "text" or (empty) after the colon'
                          % what)
        if not 1 <= msg_id <= count:
            cat.error(number, "id %d: out of range (ids are 1 to %d)" % (msg_id, count))
            continue
        if msg_id in cat.lines:
            cat.error(number, "id %d: duplicate (first at line %d)" % (msg_id, cat.lines[msg_id]))
            continue
        if msg_id < previous_id:
            cat.error(number, "id %d: out of order (after id %d)" % (msg_id, previous_id))
        previous_id = max(previous_id, msg_id)
        cat.lines[msg_id] = number
        if text is not None:
            cat.texts[msg_id] = text
    present = sorted(cat.lines)
    for msg_id in range(1, count + 1):
        if msg_id not in cat.lines:
            following = [cat.lines[i] for i in present if i > msg_id]
            cat.error(following[0] if following else cat.last_line + 1, "id %d: missing" % msg_id)
    return cat


def placeholders(text):
    """The printf conversions of a text in order; a "%" that starts none is kept as a token too."""
    tokens = []
    i = text.find("%")
    while i >= 0:
        m = CONVERSION_RE.match(text, i)
        if m:
            tokens.append(m.group(0))
            i = m.end()
        else:
            tokens.append(text[i : i + 2])
            i += 1
        i = text.find("%", i)
    return tokens


def accelerators(text):
    """Counts "&" accelerators; "&&" shows one ampersand, and an "&" before a blank marks none."""
    n = 0
    i = 0
    while i < len(text):
        if text[i] == "&":
            if text[i + 1 : i + 2] == "&":
                i += 2
                continue
            if i + 1 < len(text) and text[i + 1] not in EDGE_BLANKS:
                n += 1
        i += 1
    return n


def leading_blanks(text):
    return text[: len(text) - len(text.lstrip(EDGE_BLANKS))]


def trailing_blanks(text):
    return text[len(text.rstrip(EDGE_BLANKS)) :]


# A half-width "!" or "," that follows Chinese text (an ideograph or full-width punctuation) in a
# translated text: Chinese text takes the full-width marks.
HALF_WIDTH_AFTER_CHINESE_RE = re.compile("[\u3000-\u303f\u3400-\u9fff\uff00-\uffef]([!,])")
FULL_WIDTH = {"!": "\uff01", ",": "\uff0c"}


def check_texts(cat, codepage, english):
    """Checks the texts of one catalogue; english is None when cat is the English catalogue."""
    for msg_id, text in sorted(cat.texts.items()):
        line = cat.lines[msg_id]
        try:
            size = len(text.encode(codepage))
            if size > RECORD_TEXT_BYTES:
                cat.error(line, "id %d: %d bytes in %s, at most %d fit"
                          % (msg_id, size, codepage, RECORD_TEXT_BYTES))
        except UnicodeEncodeError as e:
            c = text[e.start]
            cat.error(line, "id %d: character U+%04X '%s' cannot be encoded in %s"
                      % (msg_id, ord(c), c, codepage))
        if msg_id == ALWAYS_EMPTY_ID and text:
            cat.error(line, "id %d: must be empty" % msg_id)
        if english is None:
            if not text and msg_id not in ENGLISH_EMPTY_IDS:
                cat.error(line, "id %d: empty text" % msg_id)
            continue
        ref = english.texts.get(msg_id)
        if ref is None:
            continue
        if not text and ref:
            cat.error(line, "id %d: empty text, the English one is not" % msg_id)
            continue
        ours, theirs = placeholders(text), placeholders(ref)
        if ours != theirs:
            cat.error(line, "id %d: placeholders %s differ from English %s"
                      % (msg_id, describe_all(ours), describe_all(theirs)))
        if text.count("\n") != ref.count("\n"):
            cat.error(line, "id %d: %d line feeds, English has %d"
                      % (msg_id, text.count("\n"), ref.count("\n")))
        if accelerators(text) != accelerators(ref):
            cat.error(line, "id %d: %d & accelerators, English has %d"
                      % (msg_id, accelerators(text), accelerators(ref)))
        if text.count(PRODUCT_WORD) != ref.count(PRODUCT_WORD):
            cat.error(line, 'id %d: %d product words "%s", English has %d'
                      % (msg_id, text.count(PRODUCT_WORD), PRODUCT_WORD, ref.count(PRODUCT_WORD)))
        m = HALF_WIDTH_AFTER_CHINESE_RE.search(text)
        if m:
            cat.error(line, 'id %d: half-width "%s" after Chinese text, use "%s"'
                      % (msg_id, m.group(1), FULL_WIDTH[m.group(1)]))
        if leading_blanks(text) != leading_blanks(ref):
            cat.error(line, "id %d: leading blanks %s differ from English %s"
                      % (msg_id, describe(leading_blanks(text)), describe(leading_blanks(ref))))
        if trailing_blanks(text) != trailing_blanks(ref):
            cat.error(line, "id %d: trailing blanks %s differ from English %s"
                      % (msg_id, describe(trailing_blanks(text)), describe(trailing_blanks(ref))))


def cpp_literal(text):
    """A C++ string literal holding the UTF-8 bytes of text; other than printable ASCII, octal."""
    out = ['"']
    for b in text.encode("utf-8"):
        c = chr(b)
        if c == "\n":
            out.append("\\n")
        elif c == "\t":
            out.append("\\t")
        elif c in '\\"?':
            out.append("\\" + c)
        elif 0x20 <= b < 0x7F:
            out.append(c)
        else:
            out.append("\\%03o" % b)
    out.append('"')
    return "".join(out)


def table_source(catalogues, count):
    lines = [
        "// Generated by gen_message_table.py from the message catalogues: do not edit.",
        '#include "message_table.h"',
        "",
        "namespace message_table {",
        "",
        "const char* const kTexts[%d][%d] = {" % (len(catalogues), count),
    ]
    for (_, language, _), cat in zip(LANGUAGES, catalogues):
        lines.append("    {")
        lines.append("        // %s" % language)
        for msg_id in range(1, count + 1):
            lines.append("        %s, // %d" % (cpp_literal(cat.texts[msg_id]), msg_id))
        lines.append("    },")
    lines += ["};", "", "} // namespace message_table", ""]
    return "\n".join(lines)


def write_atomically(path, content):
    folder = os.path.dirname(os.path.abspath(path))
    fd, tmp = tempfile.mkstemp(dir=folder, prefix=".msgtable.")
    try:
        with os.fdopen(fd, "w", encoding="utf-8", newline="\n") as f:
            f.write(content)
        os.replace(tmp, path)
    except BaseException:
        os.unlink(tmp)
        raise


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option, language, _ in LANGUAGES:
        parser.add_argument("--" + option.replace("_", "-"), required=True, metavar="FILE",
                            help="catalogue of the %s texts" % language)
    parser.add_argument("--output", required=True, metavar="FILE", help="C++ source to write")
    parser.add_argument("--count", type=int, default=MESSAGE_COUNT, metavar="N",
                        help="number of ids (default %(default)s; small catalogues for tests)")
    args = parser.parse_args(argv)

    catalogues = [read_catalogue(getattr(args, option), args.count) for option, _, _ in LANGUAGES]
    english = catalogues[0]
    for (option, _, codepage), cat in zip(LANGUAGES, catalogues):
        check_texts(cat, codepage, None if cat is english else english)

    failed = False
    for cat in catalogues:
        for line, message in sorted(cat.errors, key=lambda e: e[0]):
            where = cat.path if line == 0 else "%s:%d" % (cat.path, line)
            print("%s: error: %s" % (where, message), file=sys.stderr)
            failed = True
    if failed:
        print("gen_message_table: the message catalogues have errors; no table written",
              file=sys.stderr)
        if os.path.exists(args.output):
            os.unlink(args.output)
        return 1
    write_atomically(args.output, table_source(catalogues, args.count))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/env python3
"""Every text the user sees is in the catalogues.

1. The texts are extracted again from the sources (the same xgettext marks as the build's
   tavlin_pot target); each language's catalogue po/LANG.po must give every one of them a
   translation, and po/zortavlin.pot must be the extraction of today's sources.
2. The calls that show a text (message boxes, labels, buttons, wait boxes, the command line's
   lines and errors) must not be given a literal text that escapes the marks: such a text would
   never reach a catalogue.

Usage: catalogues.py SOURCE_DIR XGETTEXT [XGETTEXT ARGUMENTS...]
"""
import glob
import os
import re
import subprocess
import sys
import tempfile

FOLDERS = ["ui", "firmware", "device", "launcher", "cli", "api"]
# Where a literal reaches the user.
VISIBLE = re.compile(
    r"\b(wxMessageBox|wxMessageDialog|wxStaticText|wxButton|wxCheckBox|SetLabel|SetTitle|"
    r"wxGetPasswordFromUser|wxGetTextFromUser|Libelle|Message|Sortie|sortie|ZorCliSortie|"
    r"ZorCliEcrire|InsertColumn|ZorWaitForTavlinDlg|AfficherAttente|wxDialog)\s*\(")
MARKS = re.compile(r"\b(ZOR_TR|ZOR_N8|ZOR_N|ZorTrU8|ZorTr|ZorCliTr)\s*\(")
LITERAL = re.compile(r'(?:\bL|\bu8)?"((?:[^"\\]|\\.)*)"')
WORD = re.compile(r"[^\W\d_]{3,}")
# Words that read the same in every language, and literals that are data, not text: names of
# JSON members and CSV columns (lower case, "_" and ",", no blank).
NEUTRAL_WORDS = {"Tavlin", "tavlin"}
DATA = [re.compile(r"^[a-z_,]+$")]

STRING = r'"(?:[^"\\]|\\.)*"'


def po_entries(path):
    """msgid -> msgstr of a .po or .pot file (obsolete entries left out)."""
    text = open(path, encoding="utf-8").read()
    # A fuzzy entry is a guess that msgfmt leaves out: no translation yet.
    text = "\n\n".join(re.sub(r"(?m)^msgstr .*(\n\".*)*", 'msgstr ""', block)
                       if re.search(r"(?m)^#,.*\bfuzzy\b", block) else block
                       for block in text.split("\n\n"))
    out = {}
    for m in re.finditer(r"(?m)^msgid ((?:%s\s*)+)msgstr ((?:%s\s*)+)" % (STRING, STRING), text):
        ident = "".join(re.findall(STRING, m.group(1)))
        out[re.sub(r'"\s*"', "", ident)[1:-1]] = re.sub(r'"\s*"', "", "".join(
            re.findall(STRING, m.group(2))))[1:-1]
    out.pop("", None)
    return out


def balanced(text, start):
    """The text from start (just after an opening parenthesis) to its closing one."""
    depth, i = 1, start
    while i < len(text) and depth:
        c = text[i]
        if c == '"':
            i += 1
            while i < len(text) and text[i] != '"':
                i += 2 if text[i] == "\\" else 1
        elif c == "'":
            i = text.index("'", i + 2 if text[i + 1] == "\\" else i + 1)
        elif c == "(":
            depth += 1
        elif c == ")":
            depth -= 1
        i += 1
    return text[start:i - 1]


def strip_comments(text):
    out, i = [], 0
    while i < len(text):
        if text.startswith("//", i):
            j = text.find("\n", i)
            i = len(text) if j < 0 else j
        elif text.startswith("/*", i):
            i = text.index("*/", i) + 2
        elif text[i] == '"':
            m = re.compile(STRING).match(text, i)
            out.append(m.group(0))
            i = m.end()
        elif text[i] == "'" and re.match(r"'(\\.|[^'\\])'", text[i:]):
            m = re.match(r"'(\\.|[^'\\])'", text[i:])
            out.append(m.group(0))
            i += m.end()
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def unmarked(args):
    """The literals of a call's arguments outside the translation marks."""
    rest, i = [], 0
    for m in MARKS.finditer(args):
        if m.start() < i:
            continue
        rest.append(args[i:m.start()])
        i = m.end() + len(balanced(args, m.end())) + 1
    rest.append(args[i:])
    return [l for part in rest for l in LITERAL.findall(part)]


def is_text(literal):
    if any(d.search(literal) for d in DATA):
        return False
    return any(w not in NEUTRAL_WORDS for w in WORD.findall(literal))


def main(src, xgettext, *args):
    failures = []
    sources = sorted(os.path.relpath(p, src) for f in FOLDERS
                     for p in glob.glob(os.path.join(src, f, "*.cpp")))
    with tempfile.TemporaryDirectory() as tmp:
        pot = os.path.join(tmp, "zortavlin.pot")
        subprocess.run([xgettext, *args, "-o", pot, *sources], cwd=src, check=True)
        extracted = po_entries(pot)
    if len(extracted) < 100:
        failures.append("only %d texts extracted: the marks changed?" % len(extracted))
    committed = po_entries(os.path.join(src, "po", "zortavlin.pot"))
    for ident in sorted(set(extracted) ^ set(committed)):
        failures.append("po/zortavlin.pot is not today's extraction (build tavlin_pot): %r" % ident)
    for po in sorted(glob.glob(os.path.join(src, "po", "*.po"))):
        translated = po_entries(po)
        for ident in extracted:
            if not translated.get(ident):
                failures.append("%s: no translation of %r" % (os.path.basename(po), ident))

    for rel in sources:
        text = strip_comments(open(os.path.join(src, rel), encoding="utf-8").read())
        for m in VISIBLE.finditer(text):
            for literal in unmarked(balanced(text, m.end())):
                if is_text(literal):
                    line = text.count("\n", 0, m.start()) + 1
                    failures.append("%s:%d: %s(...) shows %r without a translation mark"
                                    % (rel, line, m.group(1), literal))
    for f in failures:
        print(f)
    print("%d texts, %d problems" % (len(extracted), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))

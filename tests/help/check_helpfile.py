#!/usr/bin/env python3
"""Reads the built help file back and checks it against the program.

- every help context the program defines (help/helpcontexts.h, and no Hc constant anywhere
  else in the sources) is in the file's context map, and the map leads to an existing topic
  inside the file, the one the program's table names;
- every topic page has a title, and every link of the topics, the contents and the index
  leads to a page in the file;
- the plain HTML pages are the same topics.

usage: check_helpfile.py FILE.chm SOURCE_ROOT HTML_DIR
"""
import os
import re
import struct
import subprocess
import sys
import tempfile

failures = []


def fail(text):
    failures.append(text)


def main():
    chm, root, html_dir = sys.argv[1:4]
    header = open(os.path.join(root, "help", "helpcontexts.h")).read()
    numbers = dict(re.findall(r"inline constexpr int (Hc\w+) = (\d+);", header))
    table = re.findall(r'\{(Hc\w+), "(\w+)", "([\w.]+)"\}', header)
    for name in numbers:
        if name not in [t[0] for t in table]:
            fail("context %s (%s) has no entry in the help table" % (name, numbers[name]))
    for folder in ("app", "tools", "diag", "help", "cli", "platform"):
        for base, _, files in os.walk(os.path.join(root, folder)):
            for f in files:
                p = os.path.join(base, f)
                if f.endswith((".h", ".cpp")) and not p.endswith("helpcontexts.h"):
                    for m in re.findall(r"constexpr\s+\w+\s+(Hc\w+)\s*=", open(p).read()):
                        fail("%s defines help context %s outside helpcontexts.h" % (p, m))
    expected = {int(numbers[n]): topic for n, _, topic in table if n in numbers}

    with tempfile.TemporaryDirectory() as out:
        subprocess.run(["extract_chmLib", chm, out], check=True, stdout=subprocess.DEVNULL)
        ivb = open(os.path.join(out, "#IVB"), "rb").read()
        strings = open(os.path.join(out, "#STRINGS"), "rb").read()
        size = struct.unpack_from("<I", ivb, 0)[0]
        mapped = {}
        for i in range(4, 4 + size, 8):
            context, offset = struct.unpack_from("<II", ivb, i)
            target = strings[offset:strings.index(b"\0", offset)].decode()
            mapped[context] = target
        pages = {f for f in os.listdir(out) if f.endswith(".htm")}
        for context, topic in sorted(expected.items()):
            target = mapped.get(context)
            if target is None:
                fail("context %d is not in the help file's map" % context)
            elif target != "/" + topic:
                fail("context %d leads to %r, expected /%s" % (context, target, topic))
            elif topic not in pages:
                fail("context %d: topic %s is not in the help file" % (context, topic))
        for extra in sorted(set(mapped) - set(expected)):
            fail("the help file maps context %d, which the program does not use" % extra)

        link = re.compile(r'(?:href|value)="([^"#:]+\.(?:htm|css))(?:#[^"]*)?"', re.I)
        for f in sorted(os.listdir(out)):
            if not f.endswith((".htm", ".hhc", ".hhk")):
                continue
            text = open(os.path.join(out, f), encoding="cp1252").read()
            if f.endswith(".htm") and not re.search(r"<title>[^<]+</title>", text):
                fail("%s has no title" % f)
            for target in link.findall(text):
                if not os.path.exists(os.path.join(out, target)):
                    fail("%s links to %s, which is not in the help file" % (f, target))
        for f in pages:
            if f not in open(os.path.join(out, "pelvarn.hhc")).read():
                fail("%s is not in the table of contents" % f)
        shown = sorted(f for f in os.listdir(html_dir) if f.endswith(".htm"))
        if shown != sorted(pages):
            fail("HTML pages %s differ from the help file's topics %s" % (shown, sorted(pages)))
        print("%d contexts mapped, %d topics, %d HTML pages" % (len(mapped), len(pages), len(shown)))

    for f in failures:
        print("FAIL: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

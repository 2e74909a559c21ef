#!/usr/bin/env python3
"""Writes the seed corpus from the session transcripts.

usage: make_corpus.py   (run in fuzz/; writes corpus/NAME)

Each seed is the lines typed in one session; a session run with -e starts
with the expert byte 03, and the command files of tests/sessions/files that
the session runs are appended as sections (bytes 01 02), renamed "1", "2", ...
"""
import os
import re

SESSIONS = "../tests/sessions"


def main():
    os.makedirs("corpus", exist_ok=True)
    for name in sorted(os.listdir(SESSIONS)):
        if not name.endswith(".session"):
            continue
        text = open(os.path.join(SESSIONS, name), encoding="utf-8", errors="surrogateescape").read()
        header, _, body = text.partition("\n---\n")
        typed = re.findall("\u00ab(.*?)\u00bb\n", body)
        files = []

        def rewrite(line):
            # "$ path" of a file the sessions have becomes "$ k", its section.
            m = re.match(r"\s*\$\s*(\S+)", line)
            if not m or not os.path.exists(os.path.join(SESSIONS, m.group(1))):
                return line
            path = os.path.join(SESSIONS, m.group(1))
            if path not in files:
                files.append(path)
            return line[: m.start(1)] + str(files.index(path) + 1)

        lines = [rewrite(line) for line in typed]
        data = b""
        if "-e" in header:
            data += b"\x03"
        data += "".join(l + "\n" for l in lines).encode("utf-8", "surrogateescape")
        done = 0
        sections = []
        while done < len(files):  # files found inside files are added as they come
            content = open(files[done], "rb").read().decode("latin-1")
            sections.append("\n".join(rewrite(l) for l in content.split("\n")).encode("latin-1"))
            done += 1
        for section in sections:
            data += b"\x01\x02" + section
        with open(os.path.join("corpus", name[: -len(".session")]), "wb") as f:
            f.write(data)


main()

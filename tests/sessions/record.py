#!/usr/bin/env python3
"""Writes a session transcript from a header and the lines a user types.

usage: record.py BUILD_DIR INPUT_FILE > NAME.session   (run in tests/sessions)

INPUT_FILE holds the session's header lines, a line "---", and then the typed
lines. vorel is run once per prefix of the typed lines; where two runs part is
where the next line was read, and the line is written there as «line».
Read the result before committing it: it records what vorel does, right or wrong.
"""
import os
import shlex
import subprocess
import sys


def run(build, header, lines):
    vorel, args, env = build + "/bin/vorel", [], dict(os.environ)
    for h in header:
        h = h.replace("@BUILD@", build)
        if h.startswith("args:"):
            args += shlex.split(h[5:])
        elif h.startswith("binary:"):
            vorel = build + "/" + h[7:].strip()
        elif h.startswith("env:"):
            k, _, v = h[4:].strip().partition("=")
            env[k] = v
    data = "".join(l + "\n" for l in lines).encode()
    return subprocess.run([vorel] + args, input=data, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, env=env, timeout=20).stdout.decode("latin-1")


def main():
    build, path = os.path.abspath(sys.argv[1]), sys.argv[2]
    text = open(path, encoding="utf-8").read().split("\n")
    cut = text.index("---")
    header, typed = text[:cut], text[cut + 1:]
    if typed and typed[-1] == "":
        typed = typed[:-1]
    outputs = [run(build, header, typed[:k]) for k in range(len(typed) + 1)]
    transcript, at = "", 0
    for k, line in enumerate(typed):
        a, b = outputs[k], outputs[k + 1]
        p = 0
        while p < len(a) and p < len(b) and a[p] == b[p]:
            p += 1
        p = max(p, at)
        transcript += b[at:p] + "\u00ab" + line + "\u00bb\n"
        at = p
    transcript += outputs[-1][at:]
    sys.stdout.write("\n".join(header) + "\n---\n" + transcript)


main()

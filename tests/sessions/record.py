#!/usr/bin/env python3
"""Writes a session transcript from a header and the lines a user types.

usage: record.py BUILD_DIR INPUT_FILE > NAME.session   (run in tests/sessions)

INPUT_FILE holds the session's header lines, a line "---", and then the typed
lines. vorel runs on a pipe; each line is fed once vorel has printed all it
has to say and sleeps waiting for input, and is written into the transcript
there as «line». vorel flushes its output before it reads, so what it prints
before a read is always complete. Read the result before committing it: it
records what vorel does, right or wrong.
"""
import os
import select
import shlex
import subprocess
import sys
import time


def command(build, header):
    vorel, args, env = build + "/bin/vorel", [], dict(os.environ)
    # As the runner: the built-in bus unless the session names a bus file.
    env.pop("VOREL_BUS", None)
    env["XDG_CONFIG_HOME"] = build + "/tests/no-config"
    if os.path.exists("/etc/vorel/bus.yaml"):
        env["VOREL_BUS"] = build + "/share/vorel/examples/default-bus.yaml"
    for h in header:
        h = h.replace("@BUILD@", build)
        if h.startswith("args:"):
            args += shlex.split(h[5:])
        elif h.startswith("binary:"):
            vorel = build + "/" + h[7:].strip()
        elif h.startswith("env:"):
            k, _, v = h[4:].strip().partition("=")
            env[k] = v
    return [vorel] + args, env


def waiting_for_input(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            state = f.read().rsplit(")", 1)[1].split()[0]
        with open(f"/proc/{pid}/wchan") as f:
            wchan = f.read()
    except OSError:
        return True
    return state == "S" and ("pipe" in wchan or wchan in ("", "0"))


def drain(proc, out, quiet_for=0.05, limit=20.0):
    """Reads output until vorel sleeps and nothing has come for quiet_for seconds."""
    fd = proc.stdout.fileno()
    deadline = time.time() + limit
    last = time.time()
    while time.time() < deadline:
        ready, _, _ = select.select([fd], [], [], 0.01)
        if ready:
            chunk = os.read(fd, 65536)
            if not chunk:
                return False
            out.append(chunk)
            last = time.time()
        elif time.time() - last >= quiet_for and waiting_for_input(proc.pid):
            return True
    return True


def main():
    build, path = os.path.abspath(sys.argv[1]), sys.argv[2]
    text = open(path, encoding="utf-8").read().split("\n")
    cut = text.index("---")
    header, typed = text[:cut], text[cut + 1:]
    if typed and typed[-1] == "":
        typed = typed[:-1]
    argv, env = command(build, header)
    proc = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, env=env)
    out = []
    alive = drain(proc, out)
    for line in typed:
        if not alive:
            sys.stderr.write("vorel ended before the line: " + line + "\n")
            break
        out.append(("\u00ab" + line + "\u00bb\n").encode("utf-8"))
        try:
            proc.stdin.write((line + "\n").encode("latin-1"))
            proc.stdin.flush()
        except BrokenPipeError:
            alive = False
            continue
        alive = drain(proc, out)
    try:
        proc.stdin.close()
    except BrokenPipeError:
        pass
    rest = proc.stdout.read()
    out.append(rest)
    proc.wait()
    sys.stdout.buffer.write(("\n".join(header) + "\n---\n").encode("utf-8"))
    # Typed lines are UTF-8 markers around latin-1 text; write the bytes as they are.
    sys.stdout.buffer.write(b"".join(out))


main()

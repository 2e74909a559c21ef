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
import tempfile
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


def start_emulator(build, header, env):
    """As the runner: the adapter emulator of an "emulator:" header, and the
    bus file of a "bus:" template with its port and pseudo-terminal."""
    args = [h[9:] for h in header if h.startswith("emulator:")]
    if not args:
        return None
    folder = tempfile.mkdtemp(prefix="vorel_session.")
    port_file, pty = folder + "/port", folder + "/tty"
    emulator = subprocess.Popen(
        [build + "/tests/adapter_emulator/adapter_emulator", "--port-file", port_file, "--pty", pty,
         "--log", folder + "/lines.log", "--drop-on", "DROP-ADAPTER"] + shlex.split(args[0]),
        stdout=subprocess.DEVNULL)
    for _ in range(500):
        if os.path.exists(port_file) and os.path.lexists(pty):
            break
        time.sleep(0.01)
    port = open(port_file).read().strip()
    for h in header:
        if h.startswith("bus:"):
            bus = open(h[4:].strip()).read()
            bus = bus.replace("@EMULATOR_PORT@", port).replace("@EMULATOR_PTY@", pty)
            with open(folder + "/bus.yaml", "w") as f:
                f.write(bus)
            env["VOREL_BUS"] = folder + "/bus.yaml"
    emulator.names = [("127.0.0.1:" + port, "127.0.0.1:@EMULATOR_PORT@"), (pty, "@EMULATOR_PTY@")]
    return emulator


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
    emulator = start_emulator(build, header, env)
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
    output = b"".join(out)
    if emulator:
        emulator.terminate()
        emulator.wait()
        # As the runner: the emulator's port and device change from run to run.
        for name, mark in emulator.names:
            output = output.replace(name.encode(), mark.encode())
    sys.stdout.buffer.write(("\n".join(header) + "\n---\n").encode("utf-8"))
    # Typed lines are UTF-8 markers around latin-1 text; write the bytes as they are.
    sys.stdout.buffer.write(output)


main()

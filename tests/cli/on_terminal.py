#!/usr/bin/python3
"""Runs a program on a terminal of its own, as a clerk at a shell would, and answers its question.

    on_terminal.py ANSWER PROGRAM [ARG...]

The program gets a pseudo-terminal as stdin, stdout and stderr. When it has asked (its output
ends with "）" after "是/否") ANSWER and a line break are typed, only then: a program that does not
wait for its answer finds none. Everything it wrote goes to our stdout; our exit status is its own
(124 when it has not finished within a minute)."""

import os
import pty
import select
import sys
import time

answer, argv = sys.argv[1], sys.argv[2:]
pid, fd = pty.fork()
if pid == 0:
    os.execv(argv[0], argv)

said = b""
answered = False
deadline = time.monotonic() + 60
while time.monotonic() < deadline:
    ready, _, _ = select.select([fd], [], [], 0.2)
    if not ready:
        continue
    try:
        chunk = os.read(fd, 4096)
    except OSError:  # the program has closed the terminal
        break
    if not chunk:
        break
    said += chunk
    if not answered and "（是/否）".encode() in said:
        # A moment later, as a person types: the program must still be waiting.
        time.sleep(0.3)
        os.write(fd, answer.encode() + b"\n")
        answered = True
else:
    os.kill(pid, 9)
    os.waitpid(pid, 0)
    sys.stdout.buffer.write(said)
    sys.exit(124)

_, status = os.waitpid(pid, 0)
sys.stdout.buffer.write(said)
sys.exit(os.waitstatus_to_exitcode(status))

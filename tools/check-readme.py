#!/usr/bin/env python3
"""Runs the examples of the README and of docs/ and compares what they print with their text.

    tools/check-readme.py [--write] BUILD

An example is a `$ ` line of an indented block, with the lines that complete
it as a shell command; the block's other lines are what it prints. The files
are read in this order: README.md, then docs/*.md by name. The first example
of them all starts the shell the others run in, in that order, from the top
of the clone, as a reader would paste them. Times are masked on both sides.
Process ids are not: each real id stands for the written id it was first
matched with, for the whole run, so that one process keeps one id in the
text and two processes never share one. An example that waits or runs in
the background (`&`, `sleep`, `timeout`) runs with every processor kept busy
by another process meanwhile. BUILD must be the clone's build/ folder, which
the examples name. With --write the outputs are replaced by what the run
printed, its process ids written as the text knew them (for after a change
of the output; read the diff before committing it).
"""
import glob
import os
import queue
import re
import signal
import subprocess
import sys
import threading
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MARK = '@@readme-example-ended@@'
SECONDS = 180  # the whole run: 15 s normally, 40 s when it makes the Wine prefix
SKIPPED = 77
MASKS = [
    (re.compile(r'\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z'), 'YYYY-MM-DDThh:mm:ss.fffZ'),
    (re.compile(r'\b\d\d:\d\d:\d\d\.\d{3}\b'), 'hh:mm:ss.fff'),
]
# Where a process id is written: PROGRAM.exe(PID), "pid": PID, "pids": [PID, ...].
PID_PLACES = re.compile(r'(?<=\.exe\()\d+(?=\))|(?<="pid": )\d+|(?<="pids": \[)[\d, ]*(?=\])')
TIMED = re.compile(r'(?<![&>])&(?![&>])|\bsleep\b|\btimeout\b')


def files():
    return [os.path.join(TOP, 'README.md')] + sorted(glob.glob(os.path.join(TOP, 'docs', '*.md')))


def mask(text):
    for pattern, replacement in MASKS:
        text = pattern.sub(replacement, text)
    return PID_PLACES.sub('PID', text)


def pids(text):
    return [int(n) for place in PID_PLACES.findall(text) for n in re.findall(r'\d+', place)]


class PidMap:
    """Real process id <-> written one, both ways, for the whole run."""

    def __init__(self):
        self.written, self.real = {}, {}

    def match(self, got, expected):
        """Problems with pairing the real ids got with the written ones, or []."""
        problems = []
        for real, written in zip(got, expected):
            if self.written.setdefault(real, written) != written:
                problems.append(f'process {real} is written {written} here, {self.written[real]} before')
            if self.real.setdefault(written, real) != real:
                problems.append(f'id {written} is written for process {real} here, for process {self.real[written]} before')
        return problems

    def as_written(self, text):
        def one(match):
            return re.sub(r'\d+', lambda n: str(self.written.get(int(n.group(0)), n.group(0))), match.group(0))
        return PID_PLACES.sub(one, text)


def complete(command):
    """Whether bash takes command as whole (no open quote or block)."""
    return subprocess.run(['bash', '-n', '-c', command], capture_output=True).returncode == 0


def examples(lines):
    """[(command, expected output lines, (first, last) README line index of the output)]."""
    found, i = [], 0
    while i < len(lines):
        if not (lines[i].startswith('    $ ') and (i == 0 or not lines[i - 1].strip() or lines[i - 1].startswith('    '))):
            i += 1
            continue
        command = lines[i][6:]
        i += 1
        while not complete(command) and i < len(lines) and lines[i].startswith('    '):
            command += '\n' + lines[i][4:]
            i += 1
        first = i
        while i < len(lines) and lines[i].startswith('    ') and not lines[i].startswith('    $ '):
            i += 1
        found.append((command, [line[4:] for line in lines[first:i]], (first, i)))
    return found


class Load:
    """Another process busy on every processor, for as long as it lives."""

    def __enter__(self):
        self.spinners = [subprocess.Popen(['sh', '-c', 'while :; do :; done']) for _ in range(os.cpu_count() or 1)]
        return self

    def __exit__(self, *_):
        for spinner in self.spinners:
            spinner.kill()
            spinner.wait()


def run(shell, commands):
    """Runs the commands in the shell one after the other; returns each one's
    output lines, or None for those past the time."""
    child = subprocess.Popen(['bash', '-c', shell], cwd=TOP, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, start_new_session=True)
    lines = queue.Queue()

    def read():
        for line in child.stdout:
            lines.put(line.decode('utf-8', errors='replace').rstrip('\n'))
        lines.put(None)
    threading.Thread(target=read, daemon=True).start()
    deadline = time.monotonic() + SECONDS

    def until_mark():
        got = []
        while True:
            try:
                line = lines.get(timeout=max(0.0, deadline - time.monotonic()))
            except queue.Empty:
                return None
            if line is None:
                return None
            if line == MARK:
                return got
            got.append(line)

    def send(text):
        try:
            child.stdin.write(text.encode('utf-8'))
            child.stdin.flush()
            return True
        except BrokenPipeError:
            return False

    outputs = []
    # What the shell prints before its first example is the session's own news.
    if send(f'echo {MARK}\n') and until_mark() is not None:
        for command in commands:
            if TIMED.search(command):
                with Load():
                    got = until_mark() if send(f'{command}\necho {MARK}\n') else None
            else:
                got = until_mark() if send(f'{command}\necho {MARK}\n') else None
            outputs.append(got)
            if got is None:
                print(f'check-readme: the examples did not end within {SECONDS} s')
                break
    try:
        child.stdin.close()
        child.wait(timeout=max(1.0, deadline - time.monotonic()))
    except (subprocess.TimeoutExpired, BrokenPipeError):
        os.killpg(child.pid, signal.SIGTERM)
        child.wait()
    return outputs + [None] * (len(commands) - len(outputs))


def main():
    args = sys.argv[1:]
    write = args[:1] == ['--write']
    args = args[write:]
    if len(args) != 1:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    if os.path.realpath(args[0]) != os.path.realpath(os.path.join(TOP, 'build')):
        print(f'check-readme: skipped: the examples name build/, and this build is {args[0]}')
        return SKIPPED
    texts, found = {}, []
    for path in files():
        with open(path, encoding='utf-8') as f:
            texts[path] = f.read().split('\n')
        found += [(path, *example) for example in examples(texts[path])]
    if len(found) < 2:
        print('check-readme: there are no examples')
        return 1
    shell, rest = found[0][1], found[1:]
    outputs = run(shell, [command for _, command, _, _ in rest])
    failed, ids = 0, PidMap()
    rewrites = []
    for (path, command, expected, where), got in zip(rest, outputs):
        name = os.path.relpath(path, TOP)
        if got is None:
            print(f'--- never ended: {name}: $ {command}')
            failed += 1
            continue
        said, printed = '\n'.join(expected), '\n'.join(got)
        problems = [] if mask(printed) != mask(said) else ids.match(pids(printed), pids(said))
        if mask(printed) != mask(said) or problems:
            print(f'--- {name} line {where[0] + 1}: $ {command}')
            for problem in problems:
                print(f'--- {problem}')
            print('--- the text says:\n' + said + '\n--- it printed:\n' + printed)
            failed += 1
            rewrites.append((path, where, got))
    if write and failed:
        for path, where, got in reversed(rewrites):
            texts[path][where[0]:where[1]] = ['    ' + ids.as_written(line) for line in got]
        for path in {path for path, _, _ in rewrites}:
            with open(path, 'w', encoding='utf-8') as f:
                f.write('\n'.join(texts[path]))
        print(f'check-readme: {failed} outputs written')
        return 0
    loaded = sum(1 for _, command, _, _ in rest if TIMED.search(command))
    print(f'{len(rest) - failed} passed, {failed} failed ({loaded} run with every processor busy)')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())

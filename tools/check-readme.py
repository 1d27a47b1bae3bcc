#!/usr/bin/env python3
"""Runs the README's examples and compares what they print with the README.

    tools/check-readme.py [--write] BUILD

An example is a `$ ` line of an indented block, with the lines that complete
it as a shell command; the block's other lines are what it prints. The first
example starts the shell the others run in, in this order, from the top of
the clone, as a reader would paste them. Times and process ids are masked on
both sides. BUILD must be the clone's build/ folder, which the examples name.
With --write the README's outputs are replaced by what the run printed (for
after a change of the output; read the diff before committing it).
"""
import os
import re
import signal
import subprocess
import sys
import tempfile

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
README = os.path.join(TOP, 'README.md')
MARK = '@@readme-example-ended@@'
SECONDS = 180  # the whole run: 15 s normally, 40 s when it makes the Wine prefix
SKIPPED = 77
MASKS = [
    (re.compile(r'\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z'), 'YYYY-MM-DDThh:mm:ss.fffZ'),
    (re.compile(r'\b\d\d:\d\d:\d\d\.\d{3}\b'), 'hh:mm:ss.fff'),
    (re.compile(r'(\.exe)\(\d+\)'), r'\1(PID)'),
    (re.compile(r'("pids?": )(\[[\d, ]*\]|\d+)'), r'\1PID'),
]


def mask(text):
    for pattern, replacement in MASKS:
        text = pattern.sub(replacement, text)
    return text


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


def run(shell, commands):
    """Runs the commands in the shell; returns each one's output lines, or None past the time."""
    with tempfile.TemporaryFile('w+') as script:
        script.write(f'echo {MARK}\n')
        for command in commands:
            script.write(f'{command}\necho {MARK}\n')
        script.seek(0)
        child = subprocess.Popen(['bash', '-c', shell], cwd=TOP, stdin=script, stdout=subprocess.PIPE,
                                 stderr=subprocess.STDOUT, start_new_session=True)
        try:
            output, _ = child.communicate(timeout=SECONDS)
        except subprocess.TimeoutExpired:
            os.killpg(child.pid, signal.SIGTERM)
            output, _ = child.communicate()
            print(f'check-readme: the examples did not end within {SECONDS} s')
    text = output.decode('utf-8', errors='replace')
    # What the shell prints before its first example is the session's own news.
    parts = text.split(MARK + '\n')[1:]
    return [part.splitlines() for part in parts[:len(commands)]] + [None] * (len(commands) - len(parts))


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
    with open(README, encoding='utf-8') as f:
        lines = f.read().split('\n')
    found = examples(lines)
    if len(found) < 2:
        print('check-readme: the README has no examples')
        return 1
    shell, rest = found[0][0], found[1:]
    outputs = run(shell, [command for command, _, _ in rest])
    failed = 0
    for (command, expected, where), got in reversed(list(zip(rest, outputs))):
        if got is None:
            print(f'--- never ended: $ {command}')
            failed += 1
        elif mask('\n'.join(got)) != mask('\n'.join(expected)):
            print(f'--- README.md line {where[0] + 1}: $ {command}\n--- the README says:')
            print('\n'.join(expected) + '\n--- it printed:\n' + '\n'.join(got))
            failed += 1
            lines[where[0]:where[1]] = ['    ' + line for line in got]
    if write and failed:
        with open(README, 'w', encoding='utf-8') as f:
            f.write('\n'.join(lines))
        print(f'check-readme: {failed} outputs written into README.md')
        return 0
    print(f'{len(rest) - failed} passed, {failed} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())

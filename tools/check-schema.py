#!/usr/bin/env python3
"""Checks kagero-dump --json output against docs/kagero-dump.schema.json.

  tools/check-schema.py FILE...

Every line of each FILE (JSON Lines) must be one record the schema knows.
Prints each failing line as FILE:LINE: error (at most 20 of them), then how
many lines were checked; exit 1 on any failure, 0 otherwise. A FILE that is
missing or empty is a failure too, so that a run whose output was never
collected does not pass for a clean one.
"""

import json
import os
import sys

try:
    from jsonschema import Draft202012Validator
except ImportError:
    sys.exit("check-schema: the jsonschema module is missing (Debian: apt-get install python3-jsonschema)")

SCHEMA = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "docs", "kagero-dump.schema.json")
SHOWN = 20


def load_validator():
    with open(SCHEMA, encoding="utf-8") as f:
        schema = json.load(f)
    Draft202012Validator.check_schema(schema)
    return Draft202012Validator(schema)


def deepest(error):
    """The error that says most: a failed if/then or $ref nests the real one in its context."""
    while error.context:
        error = max(error.context, key=lambda e: len(e.absolute_path))
    return error


def telling(error):
    """Sort key, the most telling first: the deepest error, and one about a
    value before "unevaluated", which an older jsonschema also says of the
    key whose value failed."""
    return (error.validator == "unevaluatedProperties", -len(error.absolute_path))


def describe(error):
    where = "".join(f"[{p!r}]" for p in error.absolute_path)
    message = error.message
    # A failed "not" quotes the whole record; its start is enough.
    if len(message) > 300:
        message = message[:300] + "..."
    return f"{where or 'record'}: {message}"


def check_file(validator, name, say):
    """Returns (lines checked, failures); say(text) reports one failure."""
    try:
        with open(name, "rb") as f:
            lines = f.read().split(b"\n")
    except OSError as e:
        say(f"{name}: {e.strerror}")
        return 0, 1
    if lines and lines[-1] == b"":
        lines.pop()
    if not lines:
        say(f"{name}: empty (no output collected?)")
        return 0, 1
    failures = 0
    for number, line in enumerate(lines, 1):
        try:
            # The output is UTF-8 throughout; an unpaired surrogate comes as a
            # \uD800 escape, which json takes as it is.
            record = json.loads(line.decode("utf-8"))
        except UnicodeDecodeError as e:
            say(f"{name}:{number}: not UTF-8: {e}")
            failures += 1
            continue
        except ValueError as e:
            say(f"{name}:{number}: not JSON: {e}")
            failures += 1
            continue
        errors = [deepest(e) for e in validator.iter_errors(record)]
        if errors:
            say(f"{name}:{number}: {describe(min(errors, key=telling))}")
            failures += 1
    return len(lines), failures


def main(argv):
    if len(argv) < 2 or argv[1] in ("-h", "--help"):
        print(__doc__.strip(), file=sys.stdout if len(argv) >= 2 else sys.stderr)
        return 0 if len(argv) >= 2 else 2
    validator = load_validator()
    shown = 0

    def say(text):
        nonlocal shown
        shown += 1
        if shown <= SHOWN:
            print(text)

    checked = failures = 0
    for name in argv[1:]:
        lines, failed = check_file(validator, name, say)
        checked += lines
        failures += failed
    if shown > SHOWN:
        print(f"... and {shown - SHOWN} more")
    print(f"check-schema: {checked} lines checked, {failures} failing")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

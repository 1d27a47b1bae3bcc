#!/usr/bin/env python3
"""Packs the two programs and the short README into one zip per architecture.

    make-dist.py --out DIR --x86 BUILD32 --x64 BUILD64   build the archives
    make-dist.py --check DIR                              check what they hold

The version comes from resources/Version.h, so the archive's name matches
the About box. Every archive unpacks into one folder named after it
(kagero-<version>-<arch>/), as portable tools are shipped, and holds exactly
kagero.exe, kagero-dump.exe and README.txt there: stripped programs built
for the archive's architecture, and a README that says which Windows the
archive is for, stored as a plain file anyone may read.
With --skip-missing a build not there yet ends the run with CTest's skip
code and the reason, instead of a failure.
"""
import argparse
import os
import re
import struct
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
MEMBERS = ("kagero.exe", "kagero-dump.exe", "README.txt")
MACHINES = {"x86": 0x014C, "x64": 0x8664}
# Which archive for which Windows, added to each archive's README.
WHICH = {
    "x64": ("64 ビット版 Windows", "64-bit Windows"),
    "x86": ("32 ビット版 Windows", "32-bit Windows"),
}
PLAIN_FILE = 0o100644  # a regular file, read by all: unzip's and Windows' view of it
SKIPPED = 77  # the archive test's SKIP_RETURN_CODE (tools/CMakeLists.txt)


def version():
    with open(os.path.join(TOP, "resources", "Version.h"), encoding="utf-8") as header:
        match = re.search(r'#define KAGERO_VERSION_TEXT "([0-9.]+)"', header.read())
    if not match:
        sys.exit("make-dist: no version in resources/Version.h")
    return match.group(1)


def archive_name(arch):
    return "kagero-%s-%s.zip" % (version(), arch)


def folder_name(arch):
    return archive_name(arch)[:-len(".zip")]


def which_text(arch):
    other = "x86" if arch == "x64" else "x64"
    return ("\nこの ZIP は %s 用です。%s には %s を使ってください。\n"
            "This archive is for %s; for %s take %s.\n" % (
                WHICH[arch][0], WHICH[other][0], archive_name(other),
                WHICH[arch][1], WHICH[other][1], archive_name(other)))


def pe_machine(data):
    """The machine field of a PE image, or None when data is not one."""
    if len(data) < 0x40 or data[:2] != b"MZ":
        return None
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    if offset + 6 > len(data) or data[offset:offset + 4] != b"PE\0\0":
        return None
    return struct.unpack_from("<H", data, offset + 4)[0]


def pe_sections(data):
    """The section names of a PE image (pe_machine said it is one).

    MinGW gives names longer than eight bytes (.debug_info) as "/N", an
    offset into the COFF string table after the symbols."""
    coff = struct.unpack_from("<I", data, 0x3C)[0] + 4
    count = struct.unpack_from("<H", data, coff + 2)[0]
    symbols, symbol_count = struct.unpack_from("<II", data, coff + 8)
    table = coff + 20 + struct.unpack_from("<H", data, coff + 16)[0]
    strings = symbols + 18 * symbol_count
    names = []
    for i in range(count):
        name = data[table + 40 * i:table + 40 * i + 8].rstrip(b"\0")
        if name[:1] == b"/" and name[1:].isdigit() and symbols:
            start = strings + int(name[1:])
            end = data.find(b"\0", start)
            name = data[start:end if end >= 0 else len(data)]
        names.append(name.decode("ascii", "replace"))
    return names


def build(out, builds, skip_missing):
    os.makedirs(out, exist_ok=True)
    readme = os.path.join(TOP, "resources", "dist-README.txt")
    for arch, folder in builds.items():
        sources = {
            "kagero.exe": os.path.join(folder, "kagero.exe"),
            "kagero-dump.exe": os.path.join(folder, "dump", "kagero-dump.exe"),
            "README.txt": readme,
        }
        for member, source in sources.items():
            if not os.path.isfile(source) and skip_missing:
                print("make-dist: skipped: %s is missing; the archives need both builds"
                      " (make build, or cmake --build --preset x86 after cmake --preset x86)" % source)
                return SKIPPED
            if not os.path.isfile(source):
                sys.exit("make-dist: %s is missing; build first" % source)
        path = os.path.join(out, archive_name(arch))
        with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
            for member in MEMBERS:
                name = folder_name(arch) + "/" + member
                if member == "README.txt":
                    # Windows' Notepad reads CR LF and a UTF-8 mark best.
                    with open(sources[member], encoding="utf-8") as text:
                        body = "\ufeff" + (text.read() + which_text(arch)).replace("\n", "\r\n")
                    info = zipfile.ZipInfo.from_file(sources[member], name)
                    info.compress_type = zipfile.ZIP_DEFLATED
                    info.external_attr = PLAIN_FILE << 16  # whatever the clone's umask made of it
                    archive.writestr(info, body.encode("utf-8"))
                else:
                    archive.write(sources[member], name)
        print(path)
    return None


def check(out):
    problems = []
    for arch, machine in MACHINES.items():
        path = os.path.join(out, archive_name(arch))
        if not os.path.isfile(path):
            problems.append("%s is missing" % path)
            continue
        folder = folder_name(arch) + "/"
        with zipfile.ZipFile(path) as archive:
            names = sorted(archive.namelist())
            if names != sorted(folder + member for member in MEMBERS):
                problems.append("%s holds %s, not %s in %s" % (path, names, ", ".join(MEMBERS), folder))
                continue
            mode = archive.getinfo(folder + "README.txt").external_attr >> 16
            if mode != PLAIN_FILE:
                problems.append("%s: README.txt has mode %o, not %o" % (path, mode, PLAIN_FILE))
            for program in ("kagero.exe", "kagero-dump.exe"):
                image = archive.read(folder + program)
                found = pe_machine(image)
                if found != machine:
                    problems.append("%s: %s is for machine %r" % (path, program, found))
                    continue
                debug = [name for name in pe_sections(image) if name.startswith(".debug")]
                if debug:
                    problems.append("%s: %s is not stripped: %s" % (path, program, " ".join(debug)))
            readme = archive.read(folder + "README.txt").decode("utf-8-sig")
            for needed in ("kagero-dump", "インストールは不要", "管理者", "ZIP は %s 用" % WHICH[arch][0],
                           "for %s;" % WHICH[arch][1]):
                if needed not in readme:
                    problems.append("%s: README.txt lacks %r" % (path, needed))
    for problem in problems:
        print("make-dist: " + problem, file=sys.stderr)
    return 1 if problems else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out")
    parser.add_argument("--x86")
    parser.add_argument("--x64")
    parser.add_argument("--check")
    parser.add_argument("--skip-missing", action="store_true")
    args = parser.parse_args()
    if args.check:
        return check(args.check)
    if not (args.out and args.x86 and args.x64):
        parser.error("--out, --x86 and --x64 are needed to build")
    skipped = build(args.out, {"x86": args.x86, "x64": args.x64}, args.skip_missing)
    return skipped or check(args.out)


if __name__ == "__main__":
    sys.exit(main())

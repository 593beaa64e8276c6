#!/usr/bin/env python3
"""Checks that every include in the tree points down the floors.

Scans every #include under library/, converter/, onair_demo/, bench/, fuzz/, tests/ and tools/, finds the file each
one names (the way the compiler does: beside the including file first, then the include roots
of that part of the tree), folds both files to their folder, and fails on any folder-to-folder
edge that the table of allowed includes does not list, and on any include that a ban in the
table forbids. Every failure names the file and the line.

Folders: library/<folder>, except that library/platform/<piece> is a folder of its own; deeper
folders (framebuffer/kernels, draw/internal, ...) belong to their owner. converter/, onair_demo/, tests/,
bench/, fuzz/ and tools/ are one folder each. Includes inside one folder are always allowed.

Table lines (blank lines and # comments are ignored):
    FROM -> TO          files in FROM may include files in TO
    FROM -/-> TARGET    files under the path FROM may not include the file TARGET, or any file
                        under TARGET when it ends with "/"; files that live under TARGET's own
                        folder are exempt, so a set of headers may include itself
    FROM -/-> <NAME> except PATH
                        files under FROM, except those under PATH, may not include the system
                        header NAME (a * in NAME stands for any text): how only the platform
                        layer gets to know which system it runs on

Usage: check_includes.py [--root DIR] [--table FILE] [--list-edges]
       check_includes.py --self-test     plants faults in a scratch tree and expects each one
                                         to be reported
Standard library only.
"""

import argparse
import fnmatch
import os
import re
import sys
import tempfile

SCANNED = ("library", "converter", "onair_demo", "bench", "fuzz", "tests", "tools")
SOURCE_SUFFIXES = (".h", ".hpp", ".hh", ".inc", ".c", ".cc", ".cpp")
# Where the compiler looks after the including file's own folder, per part of the tree (the
# include directories the build gives each of them, in order).
INCLUDE_ROOTS = {
    "library": ("library",),
    "converter": ("converter", "library"),
    "onair_demo": ("onair_demo", "library"),
    "tests": ("tests", "library", "converter", "onair_demo"),
    "bench": ("bench", "tests", "library", "converter"),
    "tools": ("tools", "tests", "library"),
    "fuzz": ("fuzz", "library"),
}
# Made by the build (Qt's meta-object compiler); they include nothing of ours.
GENERATED_SUFFIXES = (".moc",)
# Holds this checker and its table, and the scratch trees of the self-test: no C++ of ours.
SKIPPED_DIRS = ("tests/layering",)

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


class Table:
    def __init__(self):
        self.edges = set()
        self.bans = []  # (from prefix, target, line number)
        self.header_bans = []  # (from prefix, header pattern, exempt prefix or None, line number)

    @staticmethod
    def read(path):
        table = Table()
        problems = []
        with open(path, encoding="utf-8") as f:
            for number, raw in enumerate(f, 1):
                line = raw.split("#", 1)[0].strip()
                if not line:
                    continue
                header = re.fullmatch(r"(\S+)\s+-/->\s+<(\S+)>(?:\s+except\s+(\S+))?", line)
                ban = re.fullmatch(r"(\S+)\s+-/->\s+([^<\s]\S*)", line)
                edge = re.fullmatch(r"(\S+)\s+->\s+(\S+)", line)
                if header:
                    exempt = header.group(3).rstrip("/") if header.group(3) else None
                    table.header_bans.append((header.group(1).rstrip("/"), header.group(2), exempt, number))
                elif ban:
                    table.bans.append((ban.group(1).rstrip("/"), ban.group(2), number))
                elif edge:
                    table.edges.add((edge.group(1), edge.group(2)))
                else:
                    problems.append(f"{path}:{number}: cannot read this line: {raw.rstrip()}")
        return table, problems


def folder_of(path):
    """The folder a repository-relative file path belongs to, or None outside the scan."""
    parts = path.split("/")
    if parts[0] != "library":
        return parts[0] if parts[0] in SCANNED else None
    if len(parts) < 3:
        return "library"
    if parts[1] == "platform" and len(parts) >= 4:
        return f"library/platform/{parts[2]}"
    return f"library/{parts[1]}"


def source_files(root):
    for top in SCANNED:
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            rel_folder = os.path.relpath(folder, root).replace(os.sep, "/")
            if any(rel_folder == s or rel_folder.startswith(s + "/") for s in SKIPPED_DIRS):
                dirs[:] = []
                continue
            dirs.sort()
            for name in sorted(files):
                if name.endswith(SOURCE_SUFFIXES):
                    yield f"{rel_folder}/{name}"


def resolve(root, including, name, quoted):
    """The repository-relative path an include names, or None when it is not one of ours."""
    candidates = []
    if quoted:
        candidates.append(os.path.dirname(including))
    candidates.extend(INCLUDE_ROOTS[including.split("/")[0]])
    for base in candidates:
        path = os.path.normpath(os.path.join(base, name)).replace(os.sep, "/")
        if not path.startswith("..") and os.path.isfile(os.path.join(root, path)):
            return path
    return None


def check(root, table, used=None):
    problems = []
    includes = 0
    for path in source_files(root):
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            lines = f.readlines()
        for number, text in enumerate(lines, 1):
            m = INCLUDE.match(text)
            if not m:
                continue
            quoted, name = m.group(1) == '"', m.group(2)
            for source, pattern, exempt, rule in table.header_bans:
                applies = path.startswith(source + "/") and not (exempt and path.startswith(exempt + "/"))
                if applies and fnmatch.fnmatchcase(name, pattern):
                    where = f"{source} outside {exempt}" if exempt else source
                    problems.append(f"{path}:{number}: #include <{name}>: {where} may not use this system header "
                                    f"(ban on line {rule} of the table)")
            target = resolve(root, path, name, quoted)
            if target is None:
                if quoted and not name.endswith(GENERATED_SUFFIXES):
                    problems.append(f"{path}:{number}: #include \"{name}\" names no file in the tree")
                continue  # a system or third-party header
            includes += 1
            here, there = folder_of(path), folder_of(target)
            if there is None:
                problems.append(f"{path}:{number}: #include \"{name}\" reaches {target}, outside the checked folders")
                continue
            if used is not None and here != there:
                used[(here, there)] = used.get((here, there), 0) + 1
            if here != there and (here, there) not in table.edges:
                problems.append(f"{path}:{number}: #include \"{name}\": {here} -> {there} is not an allowed edge")
            for source, banned, rule in table.bans:
                applies = path == source or path.startswith(source + "/")
                hits = target.startswith(banned) if banned.endswith("/") else target == banned
                own_folder = banned.rstrip("/") if banned.endswith("/") else os.path.dirname(banned)
                own = path.startswith(own_folder + "/")
                if applies and hits and not own:
                    problems.append(f"{path}:{number}: #include \"{name}\": {source} may not include {banned} "
                                    f"(ban on line {rule} of the table)")
    return includes, problems


def run(root, table_path, list_edges=False):
    table, problems = Table.read(table_path)
    used = {}
    includes, found = check(root, table, used)
    problems += found
    if list_edges:
        for (here, there), count in sorted(used.items()):
            print(f"{here} -> {there}  ({count})")
        for here, there in sorted(table.edges - used.keys()):
            print(f"{here} -> {there}  (declared, not used yet)")
    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} include(s) break the floors; the allowed edges are in {table_path}")
        return 1
    print(f"{includes} includes checked: every one points down or stays in its folder")
    return 0


def self_test():
    """Plants one fault of each kind in a scratch tree and expects each to be named."""
    files = {
        "library/core/base.h": "",
        "library/draw/pen.h": '#include "core/base.h"\n#include <sys/mman.h>\n',
        "library/platform/win32/base.cpp": '#include <sys/mman.h>\n#include <unistd.h>\n',
        "library/framebuffer/pixels.h": '#include "core/base.h"\n\n#include "draw/pen.h"\n',
        "library/framebuffer/kernels/fast.h": '#include <draw/pen.h>\n#include "../pixels.h"\n',
        "library/platform/board/virtual_board.h": "",
        "library/platform/testing/clock.h": '#include "platform/testing/step.h"\n',
        "library/platform/testing/step.h": "",
        "library/onair/graph.cpp": '#include "platform/board/virtual_board.h"\n',
        "library/effects/roll.cpp": '#include "platform/testing/clock.h"\n',
        "library/newfloor/thing.h": '#include "core/base.h"\n',
        "tests/onair/graph_test.cpp": '#include "onair/graph.cpp"\n#include "platform/board/virtual_board.h"\n'
                                      '#include "missing.h"\n#include "ui_test.moc"\n#include <vector>\n',
    }
    table = (
        "library/draw -> library/core\nlibrary/framebuffer -> library/core\n"
        "library/onair -> library/platform/board\nlibrary/effects -> library/platform/testing\n"
        "tests -> library/onair\ntests -> library/platform/board\n"
        "library/onair -/-> library/platform/board/virtual_board.h\nlibrary -/-> library/platform/testing/\n"
        "library -/-> <sys/*> except library/platform\n"
    )
    expected = [
        "library/framebuffer/pixels.h:3: ",                # a floor reaching up
        "library/framebuffer/kernels/fast.h:1: ",          # the same through <...>, from a sub-folder
        "library/onair/graph.cpp:1: ",                     # a banned file behind an allowed edge
        "library/effects/roll.cpp:1: ",                    # a banned folder
        "library/newfloor/thing.h:1: ",                    # a folder the table does not know
        "tests/onair/graph_test.cpp:3: ",                  # a quoted include that names nothing
        "library/draw/pen.h:2: ",                          # a system header only the platform may use
    ]
    not_expected = ["library/platform/testing/clock.h", "library/platform/win32/base.cpp", "tests/onair/graph_test.cpp:2:",
                    "tests/onair/graph_test.cpp:4:", "library/framebuffer/kernels/fast.h:2:"]
    with tempfile.TemporaryDirectory() as root:
        for rel, text in files.items():
            os.makedirs(os.path.join(root, os.path.dirname(rel)), exist_ok=True)
            with open(os.path.join(root, rel), "w", encoding="utf-8") as f:
                f.write(text)
        table_path = os.path.join(root, "table.txt")
        with open(table_path, "w", encoding="utf-8") as f:
            f.write(table)
        table_obj, unread = Table.read(table_path)
        _, problems = check(root, table_obj)
    failures = [f"not reported: {e}" for e in expected if not any(p.startswith(e) for p in problems)]
    failures += [f"reported wrongly: {p}" for p in problems if any(p.startswith(n) for n in not_expected)]
    failures += [f"extra report: {p}" for p in problems if not any(p.startswith(e) for e in expected)]
    failures += unread
    for f in failures:
        print(f)
    print("self-test " + ("failed" if failures else f"passed: {len(expected)} planted faults reported"))
    return 1 if failures else 0


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.normpath(os.path.join(here, "..", "..")))
    parser.add_argument("--table", default=os.path.join(here, "allowed_includes.txt"))
    parser.add_argument("--list-edges", action="store_true", help="print the edges in use and those declared only")
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()
    if args.self_test:
        return self_test()
    return run(os.path.abspath(args.root), args.table, args.list_edges)


if __name__ == "__main__":
    sys.exit(main())

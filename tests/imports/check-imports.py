#!/usr/bin/env python3
"""Holds every function that the given Windows binaries import against the list of
allowed system functions, and each against the oldest Windows the binaries must load
on: an import missing from the list, or newer than that Windows, fails.

usage: check-imports.py OBJDUMP LIST NEWEST BINARY...
  NEWEST  the newest first version allowed (XP for the 32-bit binaries)
"""
import subprocess
import sys

ORDER = ["2000", "XP", "2003", "Vista", "7"]


def allowed(path):
    table = {}
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        fields = line.split("#", 1)[0].split()
        if not fields:
            continue
        if len(fields) != 3 or fields[2] not in ORDER:
            sys.exit(f"{path}:{number}: expected LIBRARY FUNCTION VERSION, got {line.strip()!r}")
        table[(fields[0].upper(), fields[1])] = fields[2]
    return table


def imports(objdump, binary):
    text = subprocess.run([objdump, "-p", binary], check=True, capture_output=True, text=True).stdout
    library, found = None, []
    for line in text.splitlines():
        if "DLL Name:" in line:
            library = line.split("DLL Name:", 1)[1].strip().upper()
        elif library and line.startswith("\t"):
            parts = line.split()
            # "\tvma  hint  name": a named import; by-ordinal and header lines differ
            if len(parts) == 3 and parts[1].isdigit():
                found.append((library, parts[2]))
    return found


def main():
    if len(sys.argv) < 5 or sys.argv[3] not in ORDER:
        sys.exit(__doc__)
    objdump, table, newest = sys.argv[1], allowed(sys.argv[2]), ORDER.index(sys.argv[3])
    problems = []
    for binary in sys.argv[4:]:
        found = imports(objdump, binary)
        if not found:
            problems.append(f"{binary}: no imports read")
        for library, function in found:
            version = table.get((library, function))
            if version is None:
                problems.append(f"{binary}: {library} {function} is not in the list")
            elif ORDER.index(version) > newest:
                problems.append(f"{binary}: {library} {function} needs Windows {version}")
    for problem in problems:
        print(problem)
    print(f"{len(problems)} problem(s) in {len(sys.argv) - 4} binaries")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

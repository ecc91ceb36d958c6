"""same-facts.py JSON FACTS: every answer of `velmora.exe --json` (JSON) equals the
line the example script printed for it through the installed DLL (FACTS, as
inventory.vbs prints them: "Name: answer", a list's items below it indented).
GetComputerDiskInfo holds free space, which moves between two runs: there the
drives, file systems and sizes are compared, not what is free. Lines of Wine's own
loader ("wine: ...") are left out of both."""
import json
import sys


def read(path, encoding):
    lines = open(path, encoding=encoding).read().splitlines()
    return [line for line in lines if not line.startswith("wine: ")]


answers = json.loads("\n".join(read(sys.argv[1], "utf-8")))
# cscript writes the prefix's ANSI code page: 936, as the tests run Wine in zh_CN.
lines = read(sys.argv[2], "gbk")


def printed(name):
    """The script's answer for NAME and the indented lines that follow it."""
    for i, line in enumerate(lines):
        if line.startswith(name + ": "):
            items = []
            for item in lines[i + 1:]:
                if not item.startswith("  "):
                    break
                items.append(item[2:])
            return line[len(name) + 2:], items
    return None, []


def as_script(value):
    if isinstance(value, dict):
        return "(error %d: %s)" % (value["error"], value["description"])
    return str(value)


def without_free_space(summary):
    # drive#file system#size#free#system drive, one per fixed drive, joined by |
    return [drive.split("#")[:3] + drive.split("#")[4:] for drive in summary.split("|")]


differ = []
for name, value in answers.items():
    answer, items = printed(name)
    if name == "GetFixdDisk":
        # The script prints each drive's own lines below it, "  C: GetDiskFATname: ..."
        got = [item.split(" ")[0] for item in items if " GetDiskFATname: " in item]
        ok = got == value
    elif isinstance(value, list):
        ok = items == value
    elif name == "GetComputerDiskInfo":
        ok = answer is not None and without_free_space(answer) == without_free_space(value)
    else:
        ok = answer == as_script(value)
    if not ok:
        differ.append("%s: velmora.exe %r, the DLL %r" % (name, value, (answer, items)))
if not answers or differ:
    print("\n".join(differ) or "velmora.exe answered nothing", file=sys.stderr)
    sys.exit(1)
print("%d answers as the DLL's" % len(answers))

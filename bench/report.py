#!/usr/bin/env python3
"""Turns the medians of one bench run (and the kept "before" figures) into BENCHMARKS.md.

usage: report.py NATIVE.tsv WINE.tsv BASELINE.tsv MACHINE.txt OUT.md [WINE64.tsv [PACKAGES.tsv [WHOLE.tsv]]]
Each .tsv holds "kind/name<TAB>median ns" lines; a missing file is an empty run.
A run without Wine figures keeps the Wine sections of the OUT.md it replaces, marked so.
"""
import re
import sys

METHODS = [
    "GetDiskSerialNumber", "GetInternetCardAddress", "GetSoundCardId", "GetSoundCardName",
    "GetSoundCardChannel", "GetSoundCardDwformats", "GetSoundCardDwsupport", "GetCPUName",
    "GetCPUManufacturer", "GetOperatingSystemName", "GetOperatingSystemVersion", "GetIEVersion",
    "GetCPUModel", "GetPhysicsMemory", "GetComputerName", "GetComputerIP", "GetVirtualMemory",
    "GetDiskFreeSpace", "GetDiskSpace", "GetDiskFATname", "ChkSystemFdisk", "GetFixdDisk",
    "GetComputerDiskInfo", "GetComputerSoftWare", "clsSoftWare.GetComputerSoftWare",
]

# The floor of each method: the raw platform calls it cannot do without. "2xLog" is
# its begin and end entry (one open/append/close each); clsSoftWare's method writes none.
FLOORS = {
    "GetDiskSerialNumber": ["DriveSerial"], "GetInternetCardAddress": ["AdapterAddress"],
    "GetSoundCardId": ["waveOutGetDevCapsA"], "GetSoundCardName": ["waveOutGetDevCapsA"],
    "GetSoundCardChannel": ["waveOutGetDevCapsA"], "GetSoundCardDwformats": ["waveOutGetDevCapsA"],
    "GetSoundCardDwsupport": ["waveOutGetDevCapsA"], "GetCPUName": ["ProcessorName"],
    "GetCPUManufacturer": ["CpuLeaves13"], "GetCPUModel": ["CpuLeaves13"],
    "GetOperatingSystemName": ["GetVersionExA"], "GetOperatingSystemVersion": ["GetVersionExA"],
    "GetPhysicsMemory": ["GlobalMemoryStatusEx"], "GetVirtualMemory": ["GlobalMemoryStatusEx"],
    "GetComputerName": ["GetComputerNameA"], "GetComputerIP": ["gethostbyname"],
    "GetDiskFreeSpace": ["GetDiskFreeSpaceExA"], "GetDiskSpace": ["GetDiskFreeSpaceExA"],
    "GetDiskFATname": ["GetVolumeInformationA"], "GetFixdDisk": ["GetLogicalDrives"],
    "GetComputerSoftWare": ["UninstallEnum"],
}
NO_LOG = {"clsSoftWare.GetComputerSoftWare": ["UninstallEnum"], "GetComputerDiskInfo": ["DiskSummary"]}

NATIVE_PEERS = {
    "GetInternetCardAddress": "ip_link", "GetCPUName": "lscpu", "GetCPUManufacturer": "lscpu",
    "GetCPUModel": "lscpu", "GetPhysicsMemory": "free", "GetVirtualMemory": "free",
    "GetComputerName": "hostname", "GetComputerIP": "hostname_I", "GetDiskFreeSpace": "df",
    "GetDiskSpace": "df", "GetDiskFATname": "df", "GetFixdDisk": "df", "GetComputerDiskInfo": "df",
    "GetComputerSoftWare": "dpkg-query_W", "clsSoftWare.GetComputerSoftWare": "dpkg-query_W",
    "GetDiskSerialNumber": "lsblk_serial", "GetOperatingSystemName": "uname_sr",
    "GetOperatingSystemVersion": "uname_sr", "ChkSystemFdisk": "findmnt_root",
    "GetSoundCardId": "asound_cards", "GetSoundCardName": "asound_cards", "GetSoundCardChannel": "asound_cards",
    "GetSoundCardDwformats": "asound_cards", "GetSoundCardDwsupport": "asound_cards",
}
WMI_PEERS = {
    "GetInternetCardAddress": "Win32_NetworkAdapter", "GetCPUName": "Win32_Processor",
    "GetCPUManufacturer": "Win32_Processor", "GetCPUModel": "Win32_Processor",
    "GetOperatingSystemName": "Win32_OperatingSystem", "GetOperatingSystemVersion": "Win32_OperatingSystem",
    "GetPhysicsMemory": "Win32_ComputerSystem", "GetVirtualMemory": "Win32_OperatingSystem",
    "GetComputerName": "Win32_ComputerSystem", "GetDiskFreeSpace": "Win32_LogicalDisk",
    "GetDiskSpace": "Win32_LogicalDisk", "GetDiskFATname": "Win32_LogicalDisk",
    "GetFixdDisk": "Win32_LogicalDisk", "GetComputerDiskInfo": "Win32_LogicalDisk",
    "GetDiskSerialNumber": "Win32_DiskDrive", "GetComputerIP": "Win32_NetworkAdapterConfiguration",
    "ChkSystemFdisk": "Win32_OperatingSystem", "GetSoundCardId": "Win32_SoundDevice",
    "GetSoundCardName": "Win32_SoundDevice", "GetSoundCardChannel": "Win32_SoundDevice",
    "GetSoundCardDwformats": "Win32_SoundDevice", "GetSoundCardDwsupport": "Win32_SoundDevice",
}


def tool(name):
    """The command line a peer's benchmark name stands for."""
    return {"ip_link": "ip link", "dpkg-query_W": "dpkg-query -W", "hostname_I": "hostname -I",
            "df": "df -T /", "lsblk_serial": "lsblk -dno SERIAL", "uname_sr": "uname -sr",
            "findmnt_root": "findmnt -no SOURCE /", "asound_cards": "cat /proc/asound/cards"}.get(name, name)


def skipped_reason(path):
    """Why the run of PATH was not made, when bench-all wrote a "# skipped: ..." line there."""
    try:
        with open(path, encoding="utf-8") as f:
            for line in f:
                if line.startswith("# skipped: "):
                    return line[len("# skipped: "):].strip()
    except FileNotFoundError:
        pass
    return None


def load(path):
    figures = {}
    try:
        with open(path, encoding="utf-8") as f:
            for line in f:
                parts = line.rstrip("\n").split("\t")
                if len(parts) == 2:
                    try:
                        figures[parts[0]] = float(parts[1])
                    except ValueError:
                        pass
    except FileNotFoundError:
        pass
    return figures


def fmt(ns):
    if ns is None:
        return "–"
    if ns >= 1e9:
        return f"{ns / 1e9:.2f} s"
    if ns >= 1e6:
        return f"{ns / 1e6:.2f} ms"
    if ns >= 1e3:
        return f"{ns / 1e3:.1f} µs"
    return f"{ns:.0f} ns"


def fmt_bytes(b):
    return "–" if b is None else f"{b:.0f} B"


LOADS = [("Corvel.dll", "Corvel.dll: load, one call of its export, free"),
         ("Tarsin.dll", "Tarsin.dll: load, free"),
         ("com", "COM: create clsTarsin, one call, release, unload")]


def memory_table(w, wine, wine64):
    """Bytes kept per call and per load, both widths, beside the time of one."""
    w("## Memory kept under Wine: per call and per load")
    w("")
    w("What 1,000 more calls (early bound, on one object) or 1,000 more load and unload cycles leave")
    w("in the host's private bytes after 100 of warm-up, per call or cycle, from the same host and run;")
    w("beside it the time of one late-bound call or one cycle. Private bytes move by whole 4 KB pages,")
    w("so 4 B here is one page over the 1,000. The sound card rows include what Wine's winmm keeps on")
    w("each device count when the prefix has no wave-output device (a plain C host keeps the same).")
    w("")
    w("| calls or cycles | kept, 32-bit | kept, 64-bit | time, 32-bit | time, 64-bit |")
    w("|---|---:|---:|---:|---:|")
    for m in METHODS:
        w(f"| {m} | {fmt_bytes(wine.get('kept/' + m))} | {fmt_bytes(wine64.get('kept/' + m))} | "
          f"{fmt(wine.get('late/' + m))} | {fmt(wine64.get('late/' + m))} |")
    for key, text in LOADS:
        w(f"| {text} | {fmt_bytes(wine.get('kept/load/' + key))} | {fmt_bytes(wine64.get('kept/load/' + key))} | "
          f"{fmt(wine.get('cycle/' + key))} | {fmt(wine64.get('cycle/' + key))} |")
    w("")


def ratio(a, b):
    return "–" if a is None or b is None or b <= 0 else f"{a / b:.1f}×"


def floor_of(method, run):
    parts = NO_LOG.get(method)
    names = list(parts) if parts else ["LogAppend", "LogAppend"] + FLOORS.get(method, [])
    values = [run.get("floor/" + n) for n in names]
    if any(v is None for v in values):
        return None, ""
    counted = {}
    for n in names:
        counted[n] = counted.get(n, 0) + 1
    label = " + ".join(("2×" if c == 2 else "") + ("log" if n == "LogAppend" else n) for n, c in counted.items())
    return sum(values), label


# The package databases' rows: (label in the table, benchmark name, the manager's listing or None).
SOURCES = [
    ("dpkg: a status file of 1,000 stanzas", "dpkg", "dpkg-query -W"),
    ("dpkg: this machine's /var/lib/dpkg/status", "dpkg_system", "dpkg-query -W"),
    ("rpm: a sqlite database made by rpmbuild and rpm", "rpm", "rpm -qa"),
    ("pacman: var/lib/pacman/local", "pacman", "pacman -Q"),
    ("apk: lib/apk/db/installed", "apk", None),
    ("flatpak: var/lib/flatpak/app", "flatpak", None),
    ("snap: snap/*/current/meta/snap.yaml", "snap", None),
]


def packages_table(w, packages):
    """Each package database's reader beside its manager's own listing, and all six through the facade."""
    w("## Installed programs: the cost of each package database")
    w("")
    w("`velmora_packages_bench`, in the same run: each source's reader alone (the function the registry")
    w("calls for it) on about 1,000 packages laid out as its manager writes them in a scratch root, and")
    w("beside it the manager's own listing run as a whole process on the same root where the tool is")
    w("installed (a missing tool or database is a –). The rpm database is a real one: one spec with")
    w("many `%package` sections through `rpmbuild`, installed with `rpm -i --nodeps --justdb` by")
    w("`tests/support/rpm-fixture.sh`, made once per run.")
    w("")
    w("| source | packages | reader | manager's listing | its cost | listing/reader |")
    w("|---|---:|---:|---|---:|---:|")
    for text, name, listing in SOURCES:
        reader, count = packages.get("reader/" + name), packages.get("count/reader/" + name)
        cost = packages.get("tool/" + name) if listing else None
        w(f"| {text} | {'–' if count is None else f'{count:,.0f}'} | {fmt(reader)} | "
          f"{'`' + listing + '`' if listing else '–'} | {fmt(cost)} | {ratio(cost, reader)} |")
    facade = "facade/clsSoftWare.GetComputerSoftWare"
    count = packages.get("count/" + facade)
    w(f"| all six: clsSoftWare.GetComputerSoftWare on a LinuxRegistry at that root | "
      f"{'–' if count is None else f'{count:,.0f}'} | {fmt(packages.get(facade))} | – | – | – |")
    w(f"| all six: the registry's tree built anew (BuildLinuxRegistry) | – | "
      f"{fmt(packages.get('facade/BuildLinuxRegistry'))} | – | – | – |")
    w("")
    w("The facade's row is the list as a caller gets it: the registry keeps its tree until a database")
    w("changes, so its first call, which builds the tree (the last row), is left out. `rpm --root R")
    w("--dbpath /var/lib/rpm -qa`, `pacman -r R --dbpath R/var/lib/pacman -Q` and `dpkg-query")
    w("--admindir=R/var/lib/dpkg -W` read the scratch root; `rpm -qa` also lists the signing key that")
    w("the fixture imports where gpg is installed, which the reader leaves out. No listing for apk")
    w("(apk-tools is not a package of this Debian), flatpak (`flatpak list` lists only deployments")
    w("made through an ostree repository, which the scratch tree has not) or snap (`snap list` asks")
    w("the snapd service).")
    w("")


# The whole-inventory programs: (name in WHOLE.tsv, how the table shows it).
WHOLE = [("velmora", "`velmora --json`"), ("floor", "its floor, `velmora_floor`"),
         ("idle", "a start and an exit alone, `velmora_idle`"), ("lshw", "`lshw`"),
         ("hwinfo", "`hwinfo --short`"), ("facter", "`facter`"), ("inxi", "`inxi -Fxz`")]


def count(n):
    return "–" if n is None else f"{n:,.0f}"


def instructions(n):
    return "–" if n is None else f"{n / 1e6:,.1f} M"


def whole_table(w, whole):
    """velmora --json as a whole process beside its floor and the system's inventory tools."""
    w("## The whole inventory: one process each")
    w("")
    w("`velmora --json` (every method without arguments, as one JSON object) as a whole process, beside")
    w("`velmora_floor`, the least that must be done for the same answers on this machine: it reads once,")
    w("raw, each file the Linux backend answers from (the package databases, `/proc/cpuinfo`, `meminfo`,")
    w("`self/status` and `self/mountinfo`, `os-release`, the drive's and the network interfaces' sysfs")
    w("files, `/proc/asound`), asks the kernel what no file holds (the 13 CPUID leaves, `uname`,")
    w("`getifaddrs`, `statvfs`), parses nothing but what names the next file, and writes the same log")
    w("entries, each opened, appended and closed as the real writer does, to a scratch folder. Beside")
    w("them the system's own inventory tools. Every program runs once per round in the same run")
    w("(`velmora_whole`: rounds interleaved, the order turned each round, one round of warm-up);")
    w("wall time and peak resident memory (`wait4`'s maximum RSS) are the medians of the rounds.")
    w("Instructions are callgrind's total (`valgrind --tool=callgrind`) and system calls `strace -f")
    w("-c`'s total, from one more run of each. Each program runs as the user running `tools/bench-all`")
    w("with no privilege added, its output thrown away and nothing on its input: `lshw` with its")
    w("default output, `hwinfo --short`, `facter` with its default facts, `inxi -Fxz` (every section,")
    w("extra detail, private data filtered). A tool that is not installed is a –; one that exits")
    w("non-zero (it could not read some of what it looks for) is timed all the same and marked so.")
    w("`velmora_idle` is linked as `velmora` is and does nothing: the library and the C++ runtime")
    w("loaded and started, then the exit, which any whole inventory of this kind pays first.")
    w("")
    w("| program | wall time | /velmora | instructions | system calls | peak memory |")
    w("|---|---:|---:|---:|---:|---:|")
    base = whole.get("whole/velmora")
    for name, text in WHOLE:
        wall = whole.get("whole/" + name)
        status = whole.get("exit/" + name)
        if status is not None:
            text += " (timed out)" if status < 0 else f" (exit {status:.0f})"
        rss = whole.get("rss/" + name)
        w(f"| {text} | {fmt(wall)} | {ratio(wall, base)} | {instructions(whole.get('ir/' + name))} | "
          f"{count(whole.get('sys/' + name))} | {'–' if rss is None else f'{rss / 1024:.1f} MiB'} |")
    w("")
    for name, text in WHOLE[:2]:
        top = sorted(((v, k.split("/", 2)[2]) for k, v in whole.items() if k.startswith(f"systop/{name}/")), reverse=True)
        if top:
            w(f"Most made system calls, {text}: " + ", ".join(f"`{call}` {n:,.0f}" for n, call in top) + ".")
            w("")
    idle, floor = whole.get("whole/idle"), whole.get("whole/floor")
    twentieths = [(text, whole.get("whole/" + name) / 20) for name, text in WHOLE[3:5] if whole.get("whole/" + name)]
    if idle and floor and twentieths:
        w("Twenty times faster than " + " and ".join(f"{text} is {fmt(t)}" for text, t in twentieths) +
          f"; here a start and an exit alone take {fmt(idle)}, and the floor {fmt(floor)}.")
        w("")
    entries = [whole.get("entries/" + n) for n in ("velmora", "floor")]
    if None not in entries:
        w(f"Log entries per run: {entries[0]:.0f} from `velmora --json`, {entries[1]:.0f} from its floor.")
        w("")


def kept_wine(out):
    """The Wine sections and Wine floors of the OUT.md being replaced, and the date of their run."""
    try:
        with open(out, encoding="utf-8") as f:
            text = f.read()
    except FileNotFoundError:
        return None
    start, end = text.find("## Windows build under Wine"), text.find("## What was made cheaper")
    if start < 0 or end < start or "(no figures in this run)" in text[start:end]:
        return None
    body = text[start:end].split("\n", 1)[1]
    note = re.search(r"^\*Kept from the run of ([^;]+);[^*]*\*\n\n", body, re.M)
    if note:
        date, body = note.group(1), body.replace(note.group(0), "", 1)
    else:
        date = re.search(r"^date:\s+(.+)$", text, re.M).group(1)
    floors = {}
    part = text[text.find("## Floors, alone"):]
    for row in re.finditer(r"^\| (\S+) \| [^|]+ \| ([^|]+) \|$", part, re.M):
        if row.group(1) != "floor":  # the header row
            floors["floor/" + row.group(1)] = row.group(2).strip()
    return date, body.lstrip("\n").rstrip("\n"), floors


def main():
    native, wine, before, machine_path, out = sys.argv[1:6]
    skipped32 = skipped_reason(wine)
    native, wine, before = load(native), load(wine), load(before)
    wine64 = load(sys.argv[6]) if len(sys.argv) > 6 else {}
    packages = load(sys.argv[7]) if len(sys.argv) > 7 else {}
    whole = load(sys.argv[8]) if len(sys.argv) > 8 else {}
    kept = None if wine or wine64 else kept_wine(out)
    with open(machine_path, encoding="utf-8") as f:
        machine = f.read().strip()
    lines = []
    w = lines.append
    w("# Benchmarks")
    w("")
    w("Generated by `tools/bench-all`; do not edit by hand. Every figure is the median over the")
    w("repetitions of one run (the cost of one call, in wall-clock time), measured on the machine")
    w("below. *Floor* is the raw platform calls the method cannot do without, measured alone in the")
    w("same run (\"log\" is one open/append/close of the call log; a public call writes two entries).")
    w("*Peer* is the nearest other way to learn the same fact on the same machine, in the same run:")
    w("natively the system's own tool as a whole process, under Wine a WMI query from a C++ host.")
    w("*Before* is kept in `bench/baseline-linux.tsv`: the same benchmark built from the tree as it was")
    w("before the changes below and run on this machine (figures on this shared 2-core machine move by")
    w("±30% with its load, so compare within one table only). The rows of the locale change below were")
    w("measured from the tree just before it, in the same session as *now*; the others before the")
    w("earlier changes. The changes are in the Linux backend, so the Wine table has no *before* column.")
    w("")
    w("## How to reproduce")
    w("")
    w("```sh")
    w("tools/bench-all              # both builds, both runs, rewrites BENCHMARKS.md")
    w("tools/bench-all --native     # the native run only (the Wine tables keep the last full run's)")
    w("tools/bench-all --baseline   # also keeps this run's native figures as the new \"before\"")
    w("tools/bench-all --report     # only rewrites this file from the last run's figures")
    w("```")
    w("")
    w("It configures `build/bench-linux`, `build/bench-win32` and `build/bench-win64` with `-DVELMORA_BENCH=ON`, runs")
    w("`velmora_bench` (Google Benchmark, `--benchmark_repetitions` as `BENCH_REPS`, default 9) with the")
    w("call log in a scratch folder, and runs `velmora_bench_host.exe` under Wine in a scratch prefix")
    w("with a registered copy of Tarsin.dll: the 32-bit one in a 32-bit prefix, then the 64-bit one in")
    w("a 64-bit prefix (its late-bound calls are the table's *late, 64-bit* column). Natively it also")
    w("times `velmora --json`, its floor program and the system's inventory tools as whole processes")
    w("with `velmora_whole`, and counts the instructions and system calls of the first two.")
    w("")
    w("## Machine")
    w("")
    w("```")
    w(machine)
    w("```")
    w("")
    w("## Linux: the facade on the Linux backend")
    w("")
    w("| method | before | now | floor | now/floor | peer | peer cost | peer/now |")
    w("|---|---:|---:|---|---:|---|---:|---:|")
    for m in METHODS:
        now = native.get("method/" + m)
        was = before.get("method/" + m)
        fl, label = floor_of(m, native)
        peer = NATIVE_PEERS.get(m)
        pc = native.get("peer/" + peer) if peer else None
        w(f"| {m} | {fmt(was)} | {fmt(now)} | {fmt(fl)} ({label}) | {ratio(now, fl)} | "
          f"{tool(peer) if peer else '–'} | {fmt(pc)} | {ratio(pc, now)} |")
    w("")
    w("Peers: " + ", ".join(f"`{tool(n[5:])}` {fmt(v)}" for n, v in sorted(native.items())
                          if n.startswith("peer/")) + ".")
    w("")
    w("The floors of the two identity methods are the reads their answer depends on. *DriveSerial*:")
    w("natively the whole disks under `/sys/block` (by name, then a `device` link each), their")
    w("`removable` marks only when there are several to order, the device node (its IDENTIFY comes")
    w("first where it opens), then the published serial in the places the backend tries in turn;")
    w("under Wine the drive opened, its IDENTIFY and the close, and where it gives none (Wine has no")
    w("drive to ask) the outside library loaded, asked and freed, as the method does at every call.")
    w("*AdapterAddress*: natively, per")
    w("interface under `/sys/class/net`, its `type`, `addr_assign_type`, `address` and `device` link")
    w("read only until one rules it out, and the `ifindex` of those of the best kind, which orders")
    w("them; under Wine one adapter status (`NCBASTAT`, no reset). *UninstallEnum* (the lists'")
    w("floor): the uninstall key's subkeys listed and each one's `DisplayName` read from it, in the")
    w("fewest registry steps the platform offers (`RegEnumNamesA`, `RegQuerySubkeyValueA`: on Windows")
    w("the enumeration, open, query and close they are made of), in each view a library of that width")
    w("must list (both on 64-bit Windows), with the host's messages let through after each entry as")
    w("the lists must. *ProcessorName* (`GetCPUName`'s): the processor's name read where Windows")
    w("records it, in one registry step.")
    w("")
    if whole:
        whole_table(w, whole)
    if packages:
        packages_table(w, packages)
    w("## Windows build under Wine: Tarsin.dll and the facade on the Win32 backend")
    w("")
    if kept:
        w(f"*Kept from the run of {kept[0]}; this run was native only, so the Wine figures here and")
        w("in the floors' Wine column are that run's, on the machine as it was then.*")
        w("")
        w(kept[1])
    elif not wine and not wine64:
        w("(no figures in this run)")
    else:
        # The 32-bit DLL's run leads, with the 64-bit late-bound calls beside it; a machine that
        # runs no 32-bit program gives the 64-bit DLL's run alone.
        main_run = wine or wine64
        if not wine:
            w(f"*No 32-bit run here ({skipped32 or 'this machine runs no 32-bit program'}): the figures")
            w("are the 64-bit Tarsin.dll's, from the 64-bit host in a 64-bit prefix.*")
            w("")
            w("| method | facade | early bound | late bound | floor | late/floor | WMI peer | peer cost | peer/late |")
            w("|---|---:|---:|---:|---|---:|---|---:|---:|")
        else:
            w("| method | facade | early bound | late bound | late, 64-bit | floor | late/floor | WMI peer | peer cost | peer/late |")
            w("|---|---:|---:|---:|---:|---|---:|---|---:|---:|")
        for m in METHODS:
            fa, ea, la = (main_run.get(k + "/" + m) for k in ("method", "early", "late"))
            fl, label = floor_of(m, main_run)
            peer = WMI_PEERS.get(m)
            pc = main_run.get("peer/wmi_" + peer) if peer else None
            late64 = f" {fmt(wine64.get('late/' + m))} |" if wine else ""
            w(f"| {m} | {fmt(fa)} | {fmt(ea)} | {fmt(la)} |{late64} {fmt(fl)} ({label}) | {ratio(la, fl)} | "
              f"{peer or '–'} | {fmt(pc)} | {ratio(pc, la)} |")
        w("")
        w("WMI peers (one ExecQuery, every instance enumerated, one property read; the connection made once): " +
          ", ".join(f"`{n[9:]}` {fmt(v)}" for n, v in sorted(main_run.items()) if n.startswith("peer/wmi_")) + ".")
        w("")
        w("One late-bound `GetOperatingSystemVersion` (two log entries) by the state of the log beside")
        w("the DLL: a refused entry is lost at once, and another program's lock costs at most the")
        w("bounded wait for the writers' turn:")
        w("")
        w("| log | late bound | / writable |")
        w("|---|---:|---:|")
        for state, text in (("writable", "writable"), ("unwritable", "a folder in its place (access denied)"),
                            ("locked", "locked whole by another process")):
            w(f"| {text} | {fmt(main_run.get('log/' + state))} | {ratio(main_run.get('log/' + state), main_run.get('log/writable'))} |")
    w("")
    if wine or wine64:
        memory_table(w, wine, wine64)
    w("## What was made cheaper")
    w("")
    w("The \"before\" runs showed three groups of methods far from their floors on Linux. None of the")
    w("changes alters an answer or a log entry; the workers still keep nothing between calls: what")
    w("is kept lives in the Linux backend and is checked against its source on every use. The floors")
    w("run on the same backend, so the drive floors fell with it (`GetDiskFreeSpaceExA` alone took")
    w("about 35 µs before, nearly all of it the mount table).")
    w("")
    w("- **The installed programs** (`GetComputerSoftWare`, both classes): every registry open from")
    w("  HKLM took a `stat` of dpkg's status file to learn whether the tree was still current (two")
    w("  opens per package). The Linux registry now watches `/var/lib/dpkg` with inotify and takes")
    w("  the stamp only after an event there; an event naming `status` rebuilds even when size and")
    w("  time look unchanged, and losing the watch (the folder moved or removed, the queue overflowed)")
    w("  falls back to a `stat` per open. The UTF-8/UTF-16 conversions, which every registry name and")
    w("  value passes through, copy runs of ASCII without decoding.")
    w("- **The drive methods** (`GetDiskFreeSpace`, `GetDiskSpace`, `GetDiskFATname`, `ChkSystemFdisk`,")
    w("  `GetFixdDisk`, `GetComputerDiskInfo`): every drive-letter lookup re-read and parsed")
    w("  `/proc/self/mountinfo`, several times per call. The Linux drives backend keeps the kernel's")
    w("  table open and reuses its drive map until `poll` reports a mount or unmount (`POLLPRI`, which")
    w("  the kernel raises on every change of the mount namespace); a table that is not procfs (the")
    w("  tests' fake trees) is still read on every lookup.")
    w("- **The number settings** (`GetOperatingSystemVersion`, `GetPhysicsMemory`, `GetVirtualMemory`,")
    w("  which format numbers with the user's separators): every call made and freed a locale for the")
    w("  environment's `LC_NUMERIC`, loading its files each time. The Linux backend now makes one locale")
    w("  per value of the environment's numeric setting (`LC_ALL`, `LC_NUMERIC`, `LANG`) and keeps it.")
    w("")
    w("- **The whole inventory** (`velmora --json`, and every call that reads the registry): rpm's")
    w("  sqlite database, when settled, is read straight from its file instead of through librpm, whose")
    w("  loading and macro files cost about 10 million instructions and 18 ms per process here; the")
    w("  dpkg reader tells fields apart by their first letter and gets lines where they lie; the")
    w("  in-memory registry finds a subkey without allocating (names hashed and compared eight bytes at")
    w("  a time), starts a walk at the parent it last reached, and reuses a closed handle's node; a")
    w("  filled buffer's text is converted only up to its NUL where UTF-8 allows it; UTF-8 and UTF-16")
    w("  go sixteen ASCII bytes at a time; answers move rather than being copied on their way out.")
    w("- **The whole inventory, again**: the dpkg reader finds its line ends 64 bytes at a time, tells")
    w("  a line by its first byte without a call per line, and reads \"Name: value\" as dpkg writes it")
    w("  eight bytes at a time; the in-memory registry keeps a tree's keys, names and values in one")
    w("  arena given back with the tree, indexes subkeys by open addressing with each key's hash kept,")
    w("  and knows the parent it last reached by its path's prefix; the registry readers convert paths")
    w("  and names into storage they keep across calls; a call-log entry is written into one text")
    w("  without `snprintf`; JSON finds what to escape eight units at a time; and the Linux library's")
    w("  calls to its own functions bind when it is linked (`-Bsymbolic-functions`), as a DLL's do.")
    w("- **The installed programs, again**: each view's uninstall key is opened once and every")
    w("  subkey's display name read from it by the name it was listed under, in one registry step")
    w("  with no handle made; the names stay in the code page, back to back, and only one beyond plain")
    w("  ASCII still takes its whole path. A key's subkeys grow by doubling (they grew by one, which")
    w("  cost a key of n subkeys n² time), a tree's arena hands out memory by moving a cursor, and")
    w("  `velmora --json` writes each answer into its output in place.")
    w("- **The installed programs and the whole inventory, a third time**: a key's names are listed")
    w("  in one registry step under one lock (`RegEnumNamesA`; on Windows the enumeration it is made")
    w("  of), and a subkey read right after the one before it is found by its exact name before any")
    w("  hashing; the facade's text takes each display name straight into itself, with no string of")
    w("  its own; the package readers keep their records' texts in one arena instead of a string per")
    w("  field, and a value's name recurring from key to key is kept once in the tree; the last few")
    w("  units of a text are checked and converted as the last eight again. The lists' floor now")
    w("  lists and reads in those same steps, so only what the lists add to the reads is left over.")
    w("- **The adapter address** (`GetInternetCardAddress`): its reset and its status request each")
    w("  listed every interface, five files each (`addr_assign_type` twice). The adapters are now read")
    w("  once per public call, each interface only until one file rules it out.")
    w("")
    disk = ratio(native.get("method/GetDiskSerialNumber"), floor_of("GetDiskSerialNumber", native)[0])
    card = ratio(native.get("method/GetInternetCardAddress"), floor_of("GetInternetCardAddress", native)[0])
    soft = ratio(native.get("method/clsSoftWare.GetComputerSoftWare"),
                 floor_of("clsSoftWare.GetComputerSoftWare", native)[0])
    w(f"Against the reads they cannot do without, `GetDiskSerialNumber` is at {disk} its floor,")
    w(f"`GetInternetCardAddress` at {card} and the array of installed programs at {soft}: the list's")
    w("array is a string of its own for every display name, made, converted from the code page and")
    w("freed at every call, where its floor converts nothing and keeps nothing.")
    w("")
    w("## Floors, alone")
    w("")
    w("| floor | Linux | Wine |")
    w("|---|---:|---:|")
    wine_floors = kept[2] if kept else {}
    wine_run = wine or wine64
    names = sorted({k for k in list(native) + list(wine_run) + list(wine_floors) if k.startswith("floor/")})
    for n in names:
        w(f"| {n[6:]} | {fmt(native.get(n))} | {wine_floors.get(n) or fmt(wine_run.get(n))} |")
    w("")
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))


if __name__ == "__main__":
    main()

"""Reading the call logs the components append to.

imdisk.exe (IMDISK_LOG), zDrvInst.exe (ZDRVINST_LOG) and Vimbrel.exe
(VIMBREL_LOG) each append one UTF-8 line per start:

    [exe=<module path>|]args=<command line after the program name>|cwd=<folder>

imdisk.exe leaves out the exe field.  `args` is the raw command line, quotes
and all, so it may hold '|'; paths cannot, so `exe` ends at the first '|' and
`cwd` starts after the last "|cwd=".
"""

from __future__ import annotations

import pathlib


def parse_line(line: str) -> dict[str, str]:
    fields = {}
    if line.startswith("exe="):
        fields["exe"], line = line[len("exe="):].split("|", 1)
    if not line.startswith("args="):
        raise ValueError(f"not a call log line: {line!r}")
    args, separator, cwd = line[len("args="):].rpartition("|cwd=")
    if not separator:
        raise ValueError(f"no cwd field: {line!r}")
    fields["args"] = args
    fields["cwd"] = cwd
    return fields


def read(path) -> list[dict[str, str]]:
    """Every call logged so far; [] when nothing has been logged."""
    path = pathlib.Path(path)
    if not path.exists():
        return []
    return [parse_line(line) for line in path.read_text(encoding="utf-8").splitlines() if line]


def split_args(command_line: str) -> list[str]:
    """Splits a command line the way the C runtime builds argv on Windows."""
    args: list[str] = []
    current: list[str] = []
    have_arg = False
    quoted = False
    i = 0
    while i < len(command_line):
        c = command_line[i]
        if c == "\\":
            run = len(command_line[i:]) - len(command_line[i:].lstrip("\\"))
            i += run
            if i < len(command_line) and command_line[i] == '"':
                current.append("\\" * (run // 2))
                if run % 2:
                    current.append('"')
                    i += 1
            else:
                current.append("\\" * run)
            have_arg = True
            continue
        if c == '"':
            if quoted and command_line[i + 1:i + 2] == '"':
                current.append('"')
                i += 2
                continue
            quoted = not quoted
            have_arg = True
        elif c in " \t" and not quoted:
            if have_arg:
                args.append("".join(current))
                current, have_arg = [], False
        else:
            current.append(c)
            have_arg = True
        i += 1
    if have_arg:
        args.append("".join(current))
    return args

#!/usr/bin/env python3
"""Lists the payload items a built TOLVEX.exe carries, with their sizes.

    tools/payload_sizes.py build/windows/TOLVEX.exe [--genuine]

Reads the program's resources directly (no Windows needed).  With --genuine
it also compares every item with the size the genuine ImDisk 2.1.x release
files have, and exits 1 when one differs: a quick check that a release build
embedded the files it was meant to.
"""

from __future__ import annotations

import struct
import sys

# Name -> size of the genuine file, in the order start-up writes them.
GENUINE = {
    "INSTALL": 369, "ZDRVINSTEXE86": 20672, "IMDISKCPL86": 128016, "IMDISKEXE86": 66048,
    "IMDISKSYS86": 55640, "ZDRVINSTEXE64": 26816, "IMDISKCPL64": 140296, "IMDISKEXE64": 66048,
    "IMDISKSYS64": 63976, "UNINSTALL": 227,
}


def resources(image: bytes) -> dict[tuple[str, str, int], int]:
    """(type, name, language) -> size for every resource in a PE file."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    root_rva = struct.unpack_from("<I", image, directories + 2 * 8)[0]
    table = optional + optional_size
    spans = [struct.unpack_from("<8xIIII", image, table + 40 * i) for i in range(sections)]

    def offset(rva: int) -> int:
        for size, address, raw_size, raw in spans:
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise ValueError(f"RVA {rva:#x} is in no section")

    base = offset(root_rva)

    def entries(at: int):
        named, ids = struct.unpack_from("<12xHH", image, base + at)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", image, base + at + 16 + 8 * i)
            if name & 0x80000000:
                length = struct.unpack_from("<H", image, base + (name & 0x7FFFFFFF))[0]
                start = base + (name & 0x7FFFFFFF) + 2
                key = image[start:start + 2 * length].decode("utf-16-le")
            else:
                key = name
            yield key, target

    found = {}
    for rtype, names in entries(0):
        for name, languages in entries(names & 0x7FFFFFFF):
            for language, leaf in entries(languages & 0x7FFFFFFF):
                size = struct.unpack_from("<4xI", image, base + leaf)[0]
                found[(str(rtype), str(name), language)] = size
    return found


def main(argv: list[str]) -> int:
    if len(argv) < 2:
        print(__doc__.strip())
        return 2
    items = resources(open(argv[1], "rb").read())
    genuine = "--genuine" in argv
    mismatches = 0
    print(f"{'item':<15} {'language':>8} {'bytes':>8}" + (f" {'genuine':>8}" if genuine else ""))
    for name, expected in GENUINE.items():
        size = items.get(("RT_RCDATA", name, 1033))
        line = f"{name:<15} {1033:>8} {size if size is not None else 'MISSING':>8}"
        if genuine:
            ok = size == expected
            mismatches += not ok
            line += f" {expected:>8}" + ("" if ok else "  <- differs")
        print(line)
    return 1 if mismatches or any(("RT_RCDATA", n, 1033) not in items for n in GENUINE) else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

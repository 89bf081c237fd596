#!/usr/bin/env python3
# widl 7 stamps a type library with the time it ran, as a text and as a
# number, and has no way to turn that off. Both are set to the epoch here so
# that two builds of the same sources give the same bytes.
#
#   normalize_tlb.py FILE.tlb
import re
import sys

path = sys.argv[1]
with open(path, "rb") as f:
    data = bytearray(f.read())
stamp = re.search(rb"Created by WIDL version [^\n]* at (.{24})\n", data, re.S)
if stamp:
    data[stamp.start(1):stamp.end(1)] = b"Thu Jan  1 00:00:00 1970"
    # The number follows as a VT_UI4 entry after the text's padding.
    i = stamp.end()
    while i < len(data) and data[i] == 0x57:
        i += 1
    if data[i:i + 2] != b"\x13\x00":
        sys.exit(f"{path}: no time entry after the WIDL stamp")
    data[i + 2:i + 6] = bytes(4)
    with open(path, "wb") as f:
        f.write(data)

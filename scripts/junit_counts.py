"""Prints 'N passed, N failed, N skipped' for a CTest JUnit result file, or
with --failed the name of each failed test, one a line."""
import sys
import xml.etree.ElementTree as ET

failed_names = sys.argv[1] == "--failed"
cases = ET.parse(sys.argv[-1]).getroot().iter("testcase")
passed = failed = skipped = 0
for case in cases:
    status = case.get("status", "")
    if case.find("failure") is not None or case.find("error") is not None or status == "fail":
        failed += 1
        if failed_names:
            print(case.get("name"))
    elif case.find("skipped") is not None or status in ("notrun", "disabled"):
        skipped += 1
    else:
        passed += 1
if not failed_names:
    print(f"{passed} passed, {failed} failed, {skipped} skipped")

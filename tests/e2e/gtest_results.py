#!/usr/bin/env python3
"""Turns a GoogleTest XML report into PASS:/FAIL:/NOTE: lines, one a case; skipped cases are NOTEs."""
import re
import sys
import xml.etree.ElementTree as ET


def one_line(text):
    return " ".join((text or "").split())


def main(path, prefix):
    try:
        root = ET.parse(path).getroot()
    except (OSError, ET.ParseError) as e:
        print(f"FAIL: {prefix}: no readable report ({e})")
        return 1
    cases = 0
    for case in root.iter("testcase"):
        cases += 1
        name = f"{prefix}: {case.get('classname')}.{case.get('name')}"
        failures = case.findall("failure")
        skipped = case.find("skipped")
        if failures:
            print(f"FAIL: {name}")
            for f in failures:
                print(f"  {one_line(f.get('message'))}")
        elif skipped is not None or case.get("result") == "skipped":
            why = one_line(skipped.get("message") if skipped is not None else "")
            why = re.sub(r"^\S+:\d+ ", "", why)  # the source line GTEST_SKIP adds
            print(f"NOTE: {name} skipped: {why}")
        else:
            print(f"PASS: {name}")
    if cases == 0:
        print(f"FAIL: {prefix}: the report lists no case")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else "conformance"))

#!/usr/bin/python3
"""Names every skipped test case of a test run, and why.

CTest counts test programs, so a case skipped inside a passing program would
otherwise go unseen. Reads CTest's JUnit file (whole programs or scripts that
skipped) and the GoogleTest XML files each program wrote (single cases).
Usage: list-skips.py RESULTS_DIR [RESULTS_DIR ...]; prints, always exits 0.
"""
import glob
import os
import sys
import xml.etree.ElementTree as ET


def reason_from_output(text):
    lines = [l.strip() for l in (text or "").splitlines() if l.strip()]
    for line in reversed(lines):
        if "skip" in line.lower():
            return line
    return lines[-1] if lines else "no reason given"


def read(path):
    try:
        return ET.parse(path).getroot()
    except (ET.ParseError, OSError) as e:
        print(f"  (unreadable {path}: {e})")
        return None


def skips_in(results_dir):
    found = []
    junit = os.path.join(results_dir, "ctest-junit.xml")
    if os.path.exists(junit):
        root = read(junit)
        for case in root.iter("testcase") if root is not None else []:
            if case.get("status") in ("notrun", "disabled") or case.find("skipped") is not None:
                found.append((case.get("name"), reason_from_output(case.findtext("system-out"))))
    for path in sorted(glob.glob(os.path.join(results_dir, "gtest", "*.xml"))):
        root = read(path)
        program = os.path.splitext(os.path.basename(path))[0]
        for case in root.iter("testcase") if root is not None else []:
            skipped = case.find("skipped")
            if case.get("result") == "skipped" or skipped is not None:
                why = skipped.get("message") if skipped is not None else ""
                if not why and skipped is not None:
                    why = (skipped.text or "").strip()
                found.append((f"{program}: {case.get('classname')}.{case.get('name')}",
                              why.strip().splitlines()[-1] if why.strip() else "no reason given"))
    return found


def main(dirs):
    total = 0
    for d in dirs:
        if not os.path.isdir(d):
            continue
        found = skips_in(d)
        total += len(found)
        print(f"=== skipped in {d}: {len(found)}")
        for name, why in found:
            print(f"  SKIPPED {name}: {why}")
    if total == 0:
        print("=== no test case was skipped")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

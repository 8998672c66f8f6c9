#!/usr/bin/env python3
"""Prints the counts of the test suites from their JUnit files (CTest's, or
GoogleTest's for the cases of a suite run as one test) and decides
the run: it fails when a suite ran no test, when a test failed, or when a
test was skipped that the list of expected skips does not name.

usage: test-summary.py EXPECTED-SKIPS LOG-DIR [CHECK=passed|failed]... SUITE...
"""
import os
import sys
import xml.etree.ElementTree as ET


def expected_skips(path):
    names = {}
    with open(path) as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                name, _, why = line.rstrip("\n").partition("\t")
                names[name.strip()] = why.strip()
    return names


def main():
    expected = expected_skips(sys.argv[1])
    logs, suites = sys.argv[2], sys.argv[3:]
    ok = True
    print()
    for check in [a for a in suites if "=" in a]:
        name, _, result = check.partition("=")
        print("%-10s %s" % (name + ":", result))
        ok = ok and result == "passed"
    for suite in [a for a in suites if "=" not in a]:
        path = os.path.join(logs, suite + ".xml")
        cases = ET.parse(path).getroot().iter("testcase") if os.path.exists(path) else []
        run, failed, skipped = 0, [], []
        for case in cases:
            run += 1
            name = case.get("name")
            if case.get("classname") and case.get("result"):  # GoogleTest's form
                name = case.get("classname") + "." + name
            if case.find("failure") is not None or case.get("status") == "fail":
                failed.append(name)
            elif (case.find("skipped") is not None or case.get("status") in ("notrun", "disabled")
                  or case.get("result") == "skipped"):
                skipped.append(name)
        passed = run - len(failed) - len(skipped)
        print("%-10s %4d of %4d passed, %d failed, %d skipped" % (suite + ":", passed, run, len(failed), len(skipped)))
        for name in failed:
            print("  failed: " + name)
        for name in skipped:
            print("  skipped: %s (%s)" % (name, expected.get(name, "not an expected skip")))
            ok = ok and name in expected
        ok = ok and run > 0 and not failed
    retried = os.path.join(logs, "e2e-retried.txt")
    if os.path.exists(retried):
        for line in open(retried).read().splitlines():
            if line and not line.startswith(" "):
                print("  passed on its second run: %s (its first failure: %s)" % (line, retried))
    print("all tests passed" if ok else "TESTS FAILED (logs in %s)" % logs)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())

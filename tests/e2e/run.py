#!/usr/bin/env python3
"""Runs every end-to-end case and prints the count of cases run and passed.

usage: run.py BUILD_ROOT [name-filter]
"""
import glob
import importlib.util
import os
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402


def main():
    build_root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    only = sys.argv[2] if len(sys.argv) > 2 else ""
    cases = []
    for path in sorted(glob.glob(os.path.join(os.path.dirname(os.path.abspath(__file__)), "test_*.py"))):
        name = os.path.splitext(os.path.basename(path))[0]
        spec = importlib.util.spec_from_file_location(name, path)
        module = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(module)
        for attr in sorted(dir(module)):
            if attr.startswith("test_") and callable(getattr(module, attr)):
                full = "%s.%s" % (name, attr)
                if only in full:
                    cases.append((full, getattr(module, attr)))
    h = harness.Harness(build_root)
    h.start()
    failed, skipped = [], []
    try:
        for full, fn in cases:
            t = time.time()
            try:
                fn(h)
                print("[  PASS  ] %s (%.1f s)" % (full, time.time() - t), flush=True)
            except harness.Skip as why:
                skipped.append(full)
                print("[  SKIP  ] %s: %s" % (full, why), flush=True)
            except Exception:
                failed.append(full)
                print("[  FAIL  ] %s (%.1f s)" % (full, time.time() - t), flush=True)
                traceback.print_exc()
                h.screenshot("failed-" + full)
            finally:
                h.end_case()
    finally:
        h.stop()
    passed = len(cases) - len(failed) - len(skipped)
    print("e2e: %d cases run, %d passed, %d failed, %d skipped" % (len(cases), passed, len(failed), len(skipped)))
    for f in failed:
        print("  failed: " + f)
    return 1 if failed or not cases else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Runs groups of the end-to-end suite against build/win64/panel.exe under Wine.

    tests/e2e/run.py [--win64 build/win64] GROUP...      (or "all"; --list shows the groups)

ctest runs one group per test (e2e.GROUP, tests/CMakeLists.txt). PANEL_E2E_EXE names another
program to drive instead of panel.exe.
"""

import argparse
import importlib
import os
import signal
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import harness  # noqa: E402

MODULES = ["test_window", "test_entry", "test_ports", "test_buttons", "test_mends"]


def groups():
    """{group: [test case classes]} over every module of the suite."""
    found = {}
    for name in MODULES:
        module = importlib.import_module(name)
        for value in vars(module).values():
            if isinstance(value, type) and issubclass(value, harness.PanelCase) \
                    and value.GROUP:
                found.setdefault(value.GROUP, []).append(value)
    return found


def interrupted(signum, frame):
    """SIGTERM (a time-out of ctest's or `timeout`) ends the run as Ctrl+C does, so that the
    display and the wineserver are stopped on the way out."""
    raise KeyboardInterrupt


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--win64", default=os.path.join(harness.ROOT, "build", "win64"),
                        help="the Windows build directory (panel.exe and the helper)")
    parser.add_argument("--list", action="store_true", help="list the groups and their cases")
    parser.add_argument("groups", nargs="*")
    args = parser.parse_args(argv)
    known = groups()
    loader = unittest.TestLoader()
    if args.list:
        for group, classes in known.items():
            print(group)
            for cls in classes:
                for name in loader.getTestCaseNames(cls):
                    print(f"  {cls.__module__}.{cls.__name__}.{name}")
        return 0
    wanted = list(known) if args.groups in ([], ["all"]) else args.groups
    unknown = [g for g in wanted if g not in known]
    if unknown:
        parser.error(f"unknown group(s) {', '.join(unknown)}; known: {', '.join(known)}")
    suite = unittest.TestSuite()
    for group in wanted:
        for cls in known[group]:
            suite.addTests(loader.loadTestsFromTestCase(cls))

    signal.signal(signal.SIGTERM, interrupted)
    started = time.monotonic()
    e2e = harness.Suite(args.win64)
    try:
        e2e.start()
        result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
    finally:
        e2e.stop()
    # A case with failing subtests counts once.
    failed = len({id(getattr(test, "test_case", test))
                  for test, _ in result.failures + result.errors})
    passed = result.testsRun - failed - len(result.skipped)
    print(f"e2e: took {time.monotonic() - started:.0f} s")
    print(f"e2e: {passed} passed, {failed} failed, {len(result.skipped)} skipped")
    if failed:
        print(f"e2e: diagnostics of the failed cases are under {e2e.failures}")
    return 0 if result.wasSuccessful() and result.testsRun > 0 else 1


if __name__ == "__main__":
    sys.exit(main())

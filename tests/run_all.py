#!/usr/bin/env python3
"""Runs every test suite and ends with one line: N passed, N failed.

Suites: the host unit tests; the Windows tests under Wine, in a 64-bit and a
32-bit prefix; the components and end-to-end suites (pytest, under Wine and
Xvfb).  Each writes JUnit XML into build/results; the counts come from there,
and a suite that ends without writing its results counts as one failure.
"""

from __future__ import annotations

import os
import pathlib
import subprocess
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from lib import wineenv  # noqa: E402

ROOT = wineenv.repo_root()
BUILD = wineenv.build_dir()
RESULTS = BUILD / "results"
PYTHON = "/usr/bin/python3"


def count(xml_path: pathlib.Path) -> tuple[int, int, int]:
    passed = failed = skipped = 0
    for case in ET.parse(xml_path).getroot().iter("testcase"):
        if case.find("failure") is not None or case.find("error") is not None:
            failed += 1
        elif case.find("skipped") is not None or case.get("result") == "skipped":
            skipped += 1
        else:
            passed += 1
    return passed, failed, skipped


def run_suite(name: str, argv: list[str], env: dict[str, str] | None = None,
              cwd: pathlib.Path | None = None) -> tuple[int, int, int]:
    xml = RESULTS / f"{name}.xml"
    print(f"=== {name}", flush=True)
    code = subprocess.run(argv, env=env, cwd=cwd).returncode
    if not xml.exists():
        print(f"=== {name}: ended with {code} and no results", flush=True)
        return 0, 1, 0
    passed, failed, skipped = count(xml)
    if code != 0 and failed == 0:
        failed = 1  # it failed in a way no test case recorded
    print(f"=== {name}: {passed} passed, {failed} failed, {skipped} skipped", flush=True)
    return passed, failed, skipped


def windows_suite(arch: str) -> tuple[int, int, int]:
    xml = RESULTS / f"windows-{arch}.xml"
    with wineenv.Prefix(f"windows-tests-{arch}", arch) as prefix:
        env = prefix.env()
        # A Windows path: Wine reads "/work/..." as a path on the current drive.
        env["GTEST_OUTPUT"] = "xml:Z:" + str(xml).replace("/", "\\")
        return run_suite(f"windows-{arch}",
                         ["ctest", "--output-on-failure", "--test-dir",
                          str(BUILD / "windows" / "tests-windows")], env=env)


def main() -> int:
    RESULTS.mkdir(parents=True, exist_ok=True)
    for old in RESULTS.glob("*.xml"):
        old.unlink()
    display = wineenv.Display()
    # Every prefix must see the display from its first program on: a prefix
    # whose desktop started without one never delivers timer messages.
    os.environ.update(display.env())
    try:
        totals = [run_suite("host", [str(BUILD / "host" / "tests" / "host" / "host_tests"),
                                     f"--gtest_output=xml:{RESULTS / 'host.xml'}"])]
        for arch in wineenv.ARCHES:
            totals.append(windows_suite(arch))
        env = dict(os.environ)
        for suite in ("components", "e2e"):
            if (ROOT / "tests" / suite).is_dir():
                totals.append(run_suite(suite, [PYTHON, "-m", "pytest", "-q", "-p", "no:cacheprovider",
                                                f"tests/{suite}",
                                                f"--junitxml={RESULTS / (suite + '.xml')}"],
                                        env=env, cwd=ROOT))
    finally:
        display.stop()
    passed = sum(t[0] for t in totals)
    failed = sum(t[1] for t in totals)
    skipped = sum(t[2] for t in totals)
    print(f"{passed} passed, {failed} failed" + (f", {skipped} skipped" if skipped else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

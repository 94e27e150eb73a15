"""The inspector, run in a Wine prefix: TOLVEX's windows as Python data.

The inspector (tests/e2e/inspector) runs in the same prefix as TOLVEX and
reports what it sees as JSON; see its main.cpp for the commands.
"""

from __future__ import annotations

import json
import pathlib
import time

FORM_CLASS = "TForm1"
MESSAGE_BOX_CLASS = "#32770"


class InspectorError(RuntimeError):
    pass


class Inspector:
    def __init__(self, prefix, exe: pathlib.Path):
        self.prefix = prefix
        self.exe = exe

    def _run(self, *args, input: bytes | None = None):
        result = self.prefix.run([self.exe, *args], input=input, timeout=60)
        if result.returncode != 0:
            raise InspectorError(f"inspector {' '.join(map(str, args))}: exit "
                                 f"{result.returncode}: {result.stderr.decode(errors='replace')}")
        return json.loads(result.stdout.decode("utf-8"))

    # Reading.
    def windows(self) -> list[dict]:
        return self._run("list")

    def find(self, window_class: str, visible_only: bool = True) -> list[dict]:
        return [w for w in self.windows()
                if w["class"] == window_class and (w["visible"] or not visible_only)]

    def wait_for(self, window_class: str, timeout: float = 30.0, process=None) -> dict:
        """The first visible window of the class to appear.  When `process`
        (a Popen) ends first, fails at once instead of waiting it out."""
        deadline = time.monotonic() + timeout
        while True:
            found = self.find(window_class)
            if found:
                return found[0]
            if process is not None and process.poll() is not None:
                raise InspectorError(f"the program ended with {process.returncode} "
                                     f"before a {window_class} window appeared")
            if time.monotonic() >= deadline:
                raise InspectorError(f"no {window_class} window within {timeout} s")
            time.sleep(0.2)

    def measure(self, hwnd: int, texts: list[str]) -> list[tuple[int, int]]:
        """(width, height) of each text in the font window `hwnd` draws with."""
        # Through standard input: a command line would pass through the Unix
        # locale's character set on its way into Wine.
        data = "".join(t + "\n" for t in texts).encode("utf-8")
        return [(s["width"], s["height"]) for s in self._run("measure", hwnd, input=data)]

    def files(self, pattern: str) -> list[str]:
        """File names matching a Windows pattern, in the order the file system
        lists them to a program (folders left out)."""
        return self._run("files", pattern)

    # Acting.
    def click(self, button_hwnd: int) -> None:
        self._run("click", button_hwnd)

    def select(self, list_hwnd: int, index: int) -> None:
        self._run("select", list_hwnd, index)

    def double_click(self, list_hwnd: int) -> None:
        self._run("dblclick", list_hwnd)

    def press_ok(self, box_hwnd: int) -> None:
        self._run("ok", box_hwnd)


def child(window: dict, window_class: str) -> dict:
    """The window's only child control of the class."""
    found = [c for c in window["children"] if c["class"].lower() == window_class.lower()]
    if len(found) != 1:
        raise AssertionError(f"{len(found)} {window_class} controls in {window['class']}: "
                             f"{[c['class'] for c in window['children']]}")
    return found[0]

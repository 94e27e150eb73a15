#!/usr/bin/python3
"""`make demo`: TOLVEX doing its whole job under Wine.

Puts TOLVEX.exe into build/demo/ beside two images, "Первый.iso" and
"Второй.iso", whose \\KORVEL\\Vimbrel.exe shows which image it came from
("Образ «Первый»", "Образ «Второй»"), and runs it in a fresh 64-bit prefix,
build/wine/demo, with the stand-in driver and control program built from
components/ inside it.

With DISPLAY set, TOLVEX comes up on that display and the demo is yours:
pick an image, press "Далее", close the image's window, and the demo reports
what happened once TOLVEX has ended.

Without one it plays itself on a private Xvfb, in a Wine desktop window so
that the screenshots show the title bars: it takes a picture of TOLVEX's
window, selects the second image in the list, presses "Далее", takes a
picture of the image's program, lets that end after a few seconds, waits
for TOLVEX to end and reports.  The pictures go to build/screenshots/.

Builds nothing itself: `make demo` builds first.
"""

from __future__ import annotations

import json
import os
import pathlib
import shutil
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tests"))
from lib import calllog, wineenv  # noqa: E402

BUILD = wineenv.build_dir()
TOLVEX = BUILD / "windows" / "TOLVEX.exe"
INSPECTOR = BUILD / "windows" / "tests" / "e2e" / "inspector" / "inspector.exe"
DEMO = BUILD / "demo"
SCREENSHOTS = BUILD / "screenshots"

IMAGES = {"Первый.iso": "Образ «Первый»", "Второй.iso": "Образ «Второй»"}
FORM_CLASS = "TForm1"
IMAGE_PROGRAM_CLASS = "VimbrelWindow"
# How long the image's program stays up when the demo plays itself.
VIMBREL_SECONDS = "4"
# The Wine desktop the demo plays in: the size of the private Xvfb screen.
DESKTOP_SIZE = "1024x768"


def make_folder() -> None:
    if DEMO.exists():
        shutil.rmtree(DEMO)
    DEMO.mkdir(parents=True)
    shutil.copy2(TOLVEX, DEMO / "TOLVEX.exe")
    vimbrel = (wineenv.components_dir("x86") / "Vimbrel.exe").read_bytes()
    for name, marker in IMAGES.items():
        wineenv.make_iso(DEMO / name, {"KORVEL/Vimbrel.exe": vimbrel,
                                       "KORVEL/Vimbrel.txt": (marker + "\r\n").encode("utf-8")})


class Inspector:
    def __init__(self, prefix: wineenv.Prefix, env: dict[str, str]):
        self.prefix = prefix
        self.exe = prefix.win_path(INSPECTOR)
        self.env = env

    def run(self, *args) -> str:
        result = self.prefix.run([self.exe, *map(str, args)], env_extra=self.env, timeout=60)
        if result.returncode != 0:
            raise RuntimeError(f"inspector {' '.join(map(str, args))}: "
                               f"{result.stderr.decode('utf-8', 'replace').strip()}")
        return result.stdout.decode("utf-8")

    def window(self, cls: str) -> dict | None:
        """The visible top-level window of `cls`, if one is up."""
        try:
            windows = json.loads(self.run("list"))
        except (RuntimeError, ValueError):
            return None  # a window went away while it was being read
        for window in windows:
            if window.get("class") == cls and window.get("visible"):
                return window
        return None


def child(window: dict, cls: str) -> dict:
    return next(c for c in window.get("children", []) if c.get("class", "").lower() == cls)


def screenshot(display: wineenv.Display, rect, path: pathlib.Path) -> None:
    """The screen's area `rect` (left, top, right, bottom): the Wine desktop
    fills the screen from its corner, so its coordinates are the screen's."""
    left, top, right, bottom = rect
    path.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["import", "-display", display.name, "-window", "root", "-crop",
                    f"{right - left}x{bottom - top}+{left}+{top}", "+repage", str(path)],
                   check=True)


def use_wine_desktop(prefix: wineenv.Prefix) -> None:
    """Every program of the prefix in one Wine desktop window, which draws
    the windows' frames and title bars itself (Xvfb has no window manager to
    draw them).  The desktop is chosen when the prefix's first program
    starts, so the prefix is restarted."""
    settings = (("HKCU\\Software\\Wine\\Explorer", "Desktop", "Default"),
                ("HKCU\\Software\\Wine\\Explorer\\Desktops", "Default", DESKTOP_SIZE))
    for key, name, value in settings:
        result = prefix.run(["reg.exe", "add", key, "/v", name, "/t", "REG_SZ", "/d", value, "/f"])
        if result.returncode != 0:
            raise RuntimeError(f"reg add {key} /v {name}: {result.stderr!r}")
    prefix.kill()
    subprocess.run(["wineserver", "-p"], env=prefix.env(), check=True)
    subprocess.run(["wine", "cmd.exe", "/c", "exit"], env=prefix.env(), check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=120)


def play(prefix: wineenv.Prefix, display: wineenv.Display, process) -> list[str]:
    """Drives TOLVEX as a user would; what it saw, as lines for the report."""
    seen = []
    inspector = Inspector(prefix, display.env())
    form = wineenv.wait_for(lambda: inspector.window(FORM_CLASS), timeout=60, interval=0.3)
    if not form:
        raise RuntimeError("TOLVEX's window did not come up within a minute")
    time.sleep(0.5)  # painted, not just mapped
    shot = SCREENSHOTS / "demo-window.png"
    screenshot(display, form["rect"], shot)
    items = child(form, "listbox")["items"]
    seen.append(f"TOLVEX's window: \"{form['title']}\", images listed: {', '.join(items)}")
    seen.append(f"Screenshot of TOLVEX's window: {shot}")

    inspector.run("select", child(form, "listbox")["hwnd"], 1)
    seen.append(f"Selected the second image, {items[1]}, and pressed "
                f"\"{child(form, 'button')['text']}\"")
    inspector.run("click", child(form, "button")["hwnd"])

    program = wineenv.wait_for(lambda: inspector.window(IMAGE_PROGRAM_CLASS), timeout=60,
                               interval=0.2)
    if program:
        time.sleep(0.5)
        shot = SCREENSHOTS / "demo-vimbrel.png"
        screenshot(display, program["rect"], shot)
        seen.append(f"The image's program came up: window \"{program['title']}\"")
        seen.append(f"Screenshot of the image's program: {shot}")
    else:
        seen.append("The image's program did not come up within a minute")
    return seen


def wait_for_detach(prefix: wineenv.Prefix, imdisk_log: pathlib.Path) -> None:
    """TOLVEX starts the detach and leaves without waiting for it."""
    def detached():
        calls = calllog.read(imdisk_log)
        attach = [c for c in calls if c["args"].startswith("-a ")]
        if not attach:
            return True
        letter = calllog.split_args(attach[0]["args"])[-1][0]
        return (any(c["args"].startswith("-D ") for c in calls) and
                prefix.letter_target(letter) is None)
    wineenv.wait_for(detached, timeout=30, interval=0.2)


def report(code: int, logs: pathlib.Path) -> list[str]:
    lines = [f"TOLVEX ended with exit code {code}"]
    for call in calllog.read(logs / "imdisk.log"):
        args = calllog.split_args(call["args"])
        if "-a" in args:
            image = pathlib.PureWindowsPath(args[args.index("-f") + 1]).name
            lines.append(f"Attach: imdisk.exe {call['args']}  (image {image}: "
                         f"\"{IMAGES.get(image, '?')}\")")
        elif "-D" in args:
            lines.append(f"Detach: imdisk.exe {call['args']}")
    for call in calllog.read(logs / "vimbrel.log"):
        lines.append(f"Ran: {call['exe']}")
    installs = [call["args"] for call in calllog.read(logs / "zdrvinst.log")]
    if installs:
        lines.append("install.cmd: zDrvInst.exe " + "; ".join(installs))
    return lines


def main() -> int:
    started = time.monotonic()
    missing = [str(p) for p in (TOLVEX,) if not p.is_file()] + wineenv.missing_components()
    interactive = bool(os.environ.get("DISPLAY"))
    if not interactive and not INSPECTOR.is_file():
        missing.append(str(INSPECTOR))
    if missing:
        print("demo: build first (make windows); missing:\n  " + "\n  ".join(missing))
        return 1

    make_folder()
    print(f"Demo folder: {DEMO} (TOLVEX.exe, {', '.join(IMAGES)})", flush=True)
    display = wineenv.Display()
    os.environ["DISPLAY"] = display.name  # the prefix's desktop starts on it
    prefix = None
    try:
        print("Preparing a fresh 64-bit prefix (build/wine/demo)...", flush=True)
        prefix = wineenv.Prefix("demo", "win64")
        if not interactive:
            use_wine_desktop(prefix)
        logs = prefix.drive_c / "demo-logs"
        logs.mkdir()
        env = {**display.env(),
               "IMDISK_LOG": prefix.win_path(logs / "imdisk.log"),
               "ZDRVINST_LOG": prefix.win_path(logs / "zdrvinst.log"),
               "VIMBREL_LOG": prefix.win_path(logs / "vimbrel.log")}
        if not interactive:
            env["VIMBREL_SECONDS"] = VIMBREL_SECONDS
        process = prefix.popen([prefix.win_path(DEMO / "TOLVEX.exe")], cwd=DEMO, env_extra=env)

        seen = []
        if interactive:
            print(f"TOLVEX is running on {display.name}: pick an image and press \"Далее\"; "
                  "close the image's window to finish.", flush=True)
            code = process.wait()
        else:
            print(f"Playing on a private Xvfb ({display.name})...", flush=True)
            seen = play(prefix, display, process)
            code = process.wait(timeout=120)
        wait_for_detach(prefix, logs / "imdisk.log")
        print()
        for line in seen + report(code, logs):
            print(line)
    finally:
        if prefix is not None:
            prefix.remove()
        display.stop()
    print(f"The demo took {time.monotonic() - started:.0f} s.")
    return 0


if __name__ == "__main__":
    sys.exit(main())

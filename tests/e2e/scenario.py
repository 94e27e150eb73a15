"""One run of the real TOLVEX.exe under Wine, set up and read back.

A `Launcher` puts TOLVEX.exe into a folder of a fresh prefix together with the
images a test makes, starts it with the stand-ins' log variables set, and
reads what the stand-ins wrote: every imdisk.exe, zDrvInst.exe and
Vimbrel.exe call, with its arguments and working folder.  Windows are read
through the inspector, a console program run in the same prefix.
"""

from __future__ import annotations

import contextlib
import dataclasses
import json
import re
import os
import pathlib
import shutil
import subprocess
import threading
import time

import window_query
from lib import wineenv

# What TOLVEX shows, as its users read it.
FORM_CLASS = "TForm1"
FORM_TITLE = "Zarvent"
BOX_TITLE = "Tolvex"
NEXT_CAPTION = "Далее"
WAIT_CAPTION = "Подождите..."
NO_IMAGES_TEXT = "Не найдены ISO-образы в папке с программой!"
NO_FREE_LETTER_TEXT = "Нет свободной буквы диска для подключения образа!"


def program_missing_text(drive: str) -> str:
    return f"На образе не найдена программа {drive}\\KORVEL\\Vimbrel.exe!"


DRIVER_SERVICE = "ImDisk"
IMAGE_PROGRAM = "KORVEL/Vimbrel.exe"
# Each image's Vimbrel shows the first line of this file as its window title.
IMAGE_MARKER = "KORVEL/Vimbrel.txt"

# The work folder's files, as the payload table names them, by where the
# expected bytes come from.
PAYLOAD_SCRIPTS = ("install.cmd", "uninstall.cmd")
PAYLOAD_PROGRAMS = ("zDrvInst.exe", "imdisk.cpl", "imdisk.exe", "imdisk.sys")


def tolvex_exe() -> pathlib.Path:
    override = os.environ.get("TOLVEX_EXE")
    return pathlib.Path(override) if override else wineenv.build_dir() / "windows" / "TOLVEX.exe"


def inspector_exe() -> pathlib.Path:
    """The inspector the same build made (conftest's fixture reads the same)."""
    override = os.environ.get("TOLVEX_INSPECTOR")
    if override:
        return pathlib.Path(override)
    return tolvex_exe().parent / "tests" / "e2e" / "inspector" / "inspector.exe"


def vimbrel_exe() -> pathlib.Path:
    # TOLVEX is a 32-bit program, and so is the program an image carries: the
    # x86 build runs in both prefixes.
    return wineenv.components_dir("x86") / "Vimbrel.exe"


def expected_payload() -> dict[str, bytes]:
    """The ten work-folder files, relative path ('x64/imdisk.exe') to bytes."""
    files = {}
    for name in PAYLOAD_SCRIPTS:
        files[name] = (wineenv.repo_root() / "payload" / name).read_bytes()
    for arch in ("x86", "x64"):
        for name in PAYLOAD_PROGRAMS:
            files[f"{arch}/{name}"] = (wineenv.components_dir(arch) / name).read_bytes()
    return files


def image_tree(marker: str, program: bool = True) -> dict[str, bytes]:
    tree = {IMAGE_MARKER: marker.encode("utf-8") + b"\r\n"}
    if program:
        tree[IMAGE_PROGRAM] = vimbrel_exe().read_bytes()
    return tree


# --- The stand-ins' logs ------------------------------------------------------


@dataclasses.dataclass(frozen=True)
class Call:
    """One line of a stand-in's log (format in components/common/CallLog.h)."""
    exe: str | None
    args: str
    cwd: str


def parse_calls(path: pathlib.Path) -> list[Call]:
    if not path.exists():
        return []
    calls = []
    # Read while the programs still run: a line not yet ended is not yet whole.
    for raw in path.read_bytes().split(b"\r\n")[:-1]:
        line = raw.decode("utf-8")
        exe = None
        if line.startswith("exe="):
            exe, line = line[4:].split("|", 1)
        assert line.startswith("args="), f"not a call line: {line!r}"
        args, cwd = line[5:].rsplit("|cwd=", 1)
        calls.append(Call(exe, args, cwd))
    return calls


def same_path(a: str, b: str) -> bool:
    """Windows compares paths without regard to case or a trailing slash."""
    return a.rstrip("\\").casefold() == b.rstrip("\\").casefold()


# --- Windows, through the inspector -------------------------------------------


class Inspector(window_query.Inspector):
    """The shared inspector, under the names these scenarios use.

    `env` is accepted for callers that pass the display along; the display
    fixture has already put it in os.environ, which the prefix passes on.
    """

    # A listing that coincides with a program's very start now and then hangs
    # inside Wine (about one first listing in twenty), while the next one
    # answers at once.  A listing only reads, so it is safe to repeat.
    LIST_TIMEOUT = 20
    LIST_ATTEMPTS = 3

    def __init__(self, prefix: wineenv.Prefix, exe: pathlib.Path, env=None):
        super().__init__(prefix, exe)

    def windows(self) -> list[dict]:
        for attempt in range(1, self.LIST_ATTEMPTS + 1):
            try:
                result = self.prefix.run([self.exe, "list"], timeout=self.LIST_TIMEOUT)
            except subprocess.TimeoutExpired:
                if attempt == self.LIST_ATTEMPTS:
                    raise
                continue
            if result.returncode != 0:
                raise window_query.InspectorError(
                    f"inspector list: exit {result.returncode}: "
                    f"{result.stderr.decode(errors='replace')}")
            return json.loads(result.stdout.decode("utf-8"))

    def ok(self, hwnd) -> None:
        self.press_ok(hwnd)

    def dblclick(self, hwnd) -> None:
        self.double_click(hwnd)


def top_level(windows: list[dict], cls: str, title: str | None = None) -> list[dict]:
    return [w for w in windows
            if w.get("class") == cls and (title is None or w.get("title") == title)]


def form_of(windows: list[dict]) -> dict | None:
    found = top_level(windows, FORM_CLASS, FORM_TITLE)
    return found[0] if found else None


def child(window: dict, cls: str) -> dict:
    for c in window.get("children", []):
        if c.get("class", "").casefold() == cls.casefold():
            return c
    raise LookupError(f"no {cls} in {window.get('title')!r}")


def button_text(form: dict) -> str | None:
    """The caption of the form's button; None in a listing taken while the
    window was being torn down."""
    try:
        return child(form, "Button")["text"]
    except LookupError:
        return None


def message_box(windows: list[dict]) -> dict | None:
    """TOLVEX's message or error box, when one is up."""
    for w in top_level(windows, "#32770", BOX_TITLE):
        if w.get("visible"):
            return w
    return None


def wait_for_box(inspector: Inspector, timeout: float = 60, interval: float = 0.5) -> dict:
    """TOLVEX's message or error box, once it is up."""
    box = wineenv.wait_for(lambda: message_box(inspector.windows()), timeout=timeout,
                           interval=interval)
    assert box, "TOLVEX showed no message box"
    return box


def box_text(box: dict) -> str:
    """The message of a box: the longest static text in it."""
    texts = [c.get("text", "") for c in box.get("children", [])
             if c.get("class", "").casefold() == "static"]
    return max(texts, key=len, default="")


@dataclasses.dataclass
class Snapshot:
    time: float
    windows: list[dict]
    # What `WindowWatch.after` returned once the listing was complete: a
    # state seen then held all the while the listing was being taken.
    after: object = None


class WindowWatch:
    """Lists the windows over and over in the background while TOLVEX runs,
    so a test can ask afterwards what was ever on screen, and when.

    A listing asks TOLVEX's window for its font and list items, so it waits
    whenever TOLVEX is busy, and one listing at a time can miss a phase that
    lasts a second: `listers` run side by side, staggered by their own start.
    """

    def __init__(self, inspector: Inspector, after=None, listers: int = 3):
        self.inspector = inspector
        self.after = after
        self.snapshots: list[Snapshot] = []
        self._lock = threading.Lock()
        self._stop = threading.Event()
        self._threads = [threading.Thread(target=self._loop, daemon=True) for _ in range(listers)]

    def _loop(self) -> None:
        while not self._stop.is_set():
            try:
                windows = self.inspector.windows()
            except (RuntimeError, ValueError, subprocess.TimeoutExpired):
                continue  # a window that went away mid-listing: take the next one
            after = self.after() if self.after else None
            with self._lock:
                self.snapshots.append(Snapshot(time.monotonic(), windows, after))

    def __enter__(self) -> "WindowWatch":
        for thread in self._threads:
            thread.start()
        return self

    def __exit__(self, *exc) -> None:
        self._stop.set()
        for thread in self._threads:
            thread.join(timeout=60)
        self.snapshots.sort(key=lambda snap: snap.time)

    def forms(self) -> list[tuple[Snapshot, dict]]:
        """TOLVEX's window in every listing that holds it."""
        return [(s, f) for s in self.snapshots if (f := form_of(s.windows)) is not None]


# --- A launcher in a prefix ----------------------------------------------------


class Launcher:
    """TOLVEX.exe in a folder of `prefix`, with the images a test gives it."""

    def __init__(self, prefix: wineenv.Prefix, display_env: dict[str, str],
                 folder: str = "Games", exe: pathlib.Path | None = None):
        self.prefix = prefix
        self.display_env = dict(display_env)
        self.folder = prefix.drive_c / folder
        self.folder.mkdir(parents=True)
        shutil.copy2(exe or tolvex_exe(), self.folder / "TOLVEX.exe")
        # TOLVEX's working folder, and so that of the children it gives none:
        # the work folder's deletion and the image's program.
        self.start_folder = prefix.drive_c / "start"
        self.start_folder.mkdir()
        self.logs = prefix.drive_c / "e2e-logs"
        self.logs.mkdir()
        self.process: subprocess.Popen | None = None
        self.stderr_path: pathlib.Path | None = None
        self._temp: str | None = None

    # Paths.
    @property
    def exe_win(self) -> str:
        return self.prefix.win_path(self.folder / "TOLVEX.exe")

    def image_win(self, name: str) -> str:
        return self.prefix.win_path(self.folder / name)

    @property
    def temp(self) -> str:
        """%TEMP% as TOLVEX sees it."""
        if self._temp is None:
            result = self.prefix.run(["cmd.exe", "/d", "/c", "echo %TEMP%"], text=True)
            self._temp = result.stdout.strip()
        return self._temp

    def set_temp(self, win_folder: str) -> None:
        """Sets TEMP and TMP for every program started in the prefix after this.

        Wine keeps a Unix TEMP away from Windows programs (it is a Unix path),
        so they can only be set where Windows keeps them: the user's
        environment in the registry.
        """
        self.prefix.unix_path(win_folder).mkdir(parents=True, exist_ok=True)
        for name in ("TEMP", "TMP"):
            result = self.prefix.run(["reg.exe", "add", "HKCU\\Environment", "/v", name,
                                      "/t", "REG_SZ", "/d", win_folder, "/f"])
            assert result.returncode == 0, result.stderr
        self._temp = win_folder

    @property
    def work_folder(self) -> pathlib.Path:
        return self.prefix.unix_path(self.temp + "\\KORVEL\\TOLVEX")

    @property
    def work_folder_win(self) -> str:
        return self.temp + "\\KORVEL\\TOLVEX"

    def arch_folder_win(self) -> str:
        return f"{self.work_folder_win}\\{self.prefix.payload_arch}"

    # Images.
    def add_image(self, name: str, program: bool = True) -> str:
        """Makes `name` in TOLVEX's folder; returns its Windows path."""
        wineenv.make_iso(self.folder / name, image_tree(name, program))
        return self.image_win(name)

    # Drive letters.
    def occupy(self, letters) -> None:
        """Puts each letter in use, each with a KORVEL\\Vimbrel.exe of its own:
        a program started from a letter in use shows in the log."""
        target = self.prefix.path / "occupied"
        target.mkdir(exist_ok=True)
        self.plant_decoy(target)
        for letter in letters:
            self.prefix.occupy(letter, target)

    @staticmethod
    def plant_decoy(folder: pathlib.Path) -> None:
        """An image program where TOLVEX must not look, its title "decoy"."""
        for rel, data in image_tree("decoy").items():
            (folder / rel).parent.mkdir(parents=True, exist_ok=True)
            (folder / rel).write_bytes(data)

    def first_free_letter(self) -> str:
        """The letter TOLVEX should pick, from the prefix's own drive table."""
        for letter in "DEFGHIJKLMNOPQRSTUVWXYZ":
            if not os.path.lexists(self.prefix.dosdevices / f"{letter.lower()}:"):
                return f"{letter}:"
        return ""

    # The run.
    def start(self, env: dict[str, str] | None = None) -> subprocess.Popen:
        extra = dict(self.display_env)
        extra.update(
            IMDISK_LOG=self.prefix.win_path(self.logs / "imdisk.log"),
            ZDRVINST_LOG=self.prefix.win_path(self.logs / "zdrvinst.log"),
            VIMBREL_LOG=self.prefix.win_path(self.logs / "vimbrel.log"),
            # Long enough for a window listing to see it, short enough to keep
            # the suite quick.
            VIMBREL_SECONDS="2",
        )
        extra.update(env or {})
        # Wine's own complaints, should TOLVEX fail to start at all.
        self.stderr_path = self.prefix.path / "tolvex.stderr"
        with open(self.stderr_path, "wb") as stderr:
            self.process = self.prefix.popen([self.exe_win], cwd=self.start_folder,
                                             env_extra=extra, stdin=subprocess.DEVNULL,
                                             stdout=subprocess.DEVNULL, stderr=stderr)
        return self.process

    def wait(self, timeout: float = 60) -> int:
        """TOLVEX's exit code, once it has ended."""
        assert self.process is not None
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"TOLVEX still runs after {timeout} s\n{self.report()}") from None

    def running(self) -> bool:
        return self.process is not None and self.process.poll() is None

    # What the stand-ins saw.
    def imdisk_calls(self) -> list[Call]:
        return parse_calls(self.logs / "imdisk.log")

    def zdrvinst_calls(self) -> list[Call]:
        return parse_calls(self.logs / "zdrvinst.log")

    def vimbrel_calls(self) -> list[Call]:
        return parse_calls(self.logs / "vimbrel.log")

    def report(self) -> str:
        """What the stand-ins logged, for a failing assertion's message."""
        stderr = self.stderr_path
        lines = ["Wine's output:", stderr.read_text(errors="replace") if stderr else "",
                 "imdisk.exe calls:", *map(str, self.imdisk_calls()),
                 "zDrvInst.exe calls:", *map(str, self.zdrvinst_calls()),
                 "Vimbrel.exe calls:", *map(str, self.vimbrel_calls())]
        return "\n".join(lines)

    def wait_for_detach(self, drive: str = "F:", timeout: float = 30) -> bool:
        """Until the detach TOLVEX started last has taken the letter away."""
        def gone():
            detached = any(c.args == f"-D -m {drive}" for c in self.imdisk_calls())
            return detached and self.prefix.letter_target(drive[0]) is None
        return bool(wineenv.wait_for(gone, timeout=timeout, interval=0.2))


@contextlib.contextmanager
def fresh_launcher(kind: str, test_name: str, display_env: dict[str, str], arch: str = "win64",
                   folder: str = "Games", exe: pathlib.Path | None = None):
    """A Launcher in a prefix of its own, named after the test; the prefix is
    ended and removed afterwards (kept when TOLVEX_E2E_KEEP is set)."""
    missing = wineenv.missing_components()
    if missing:
        raise AssertionError("not built (make windows): " + ", ".join(missing))
    name = f"e2e-{kind}-" + re.sub(r"[^A-Za-z0-9]+", "-", test_name).strip("-")[:60]
    prefix = wineenv.Prefix(name, arch)
    try:
        yield Launcher(prefix, display_env, folder=folder, exe=exe)
    finally:
        prefix.kill()
        if not os.environ.get("TOLVEX_E2E_KEEP"):
            shutil.rmtree(prefix.path, ignore_errors=True)

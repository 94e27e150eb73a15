#!/usr/bin/python3
"""`make bench`: what TOLVEX costs, measured under Wine, as one table.

Every figure comes from this run, in a fresh 64-bit prefix on a private Xvfb
display, and each timed one is held against a baseline that does only the
part the user is waiting for:

  - the size of TOLVEX.exe without its payload (build/windows/TOLVEX_bare.exe);
  - start to window shown, with two images beside it, against minwindow.exe
    (registers a class and shows a window, nothing else);
  - payload::WritePayload against plain writes of the same ten blocks
    (payload_bench.exe, the launcher's own code linked in);
  - start to the install script's first step, with one image so that it
    launches at once, against runscript.exe (the same cmd.exe child, started
    the same way from the same, already filled, work folder);
  - the attach command's start to the image program's start, as a figure.

Times are taken by stopwatch.exe, inside the prefix: it starts the program
and looks every millisecond for the window (a visible top-level window of the
class, owned by that process) or for the call logs the stand-ins create on
their first call (zDrvInst.exe: ZDRVINST_LOG, imdisk.exe: IMDISK_LOG,
Vimbrel.exe: VIMBREL_LOG).  TOLVEX and its baseline take turns, the order
swapping every round, so that a machine that is busy for a while weighs on
both alike.  Medians of ROUNDS rounds, after one round nobody counts (the
first start in a prefix finds nothing in the caches yet).

Not a test: a goal that is missed is reported in the table, and the exit
code is 0 whenever the figures could be taken.  The table also goes to
build/bench.md.
"""

from __future__ import annotations

import datetime
import filecmp
import os
import pathlib
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tests"))
from lib import calllog, wineenv  # noqa: E402

ROUNDS = 11
PAYLOAD_ROUNDS = 41
# Long enough for the image program to be seen as running, short enough to
# keep the whole bench within a few minutes.
VIMBREL_SECONDS = "0.2"
RUN_TIMEOUT = 120

BUILD = wineenv.build_dir() / "windows"
TOLVEX = BUILD / "TOLVEX.exe"
TOLVEX_BARE = BUILD / "TOLVEX_bare.exe"
TOOLS = BUILD / "tools" / "bench"
FORM_CLASS = "TForm1"
MIN_CLASS = "BenchMinWindow"


# --- The machine ----------------------------------------------------------------


def cpu_model() -> str:
    try:
        for line in pathlib.Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown"


def wine_version() -> str:
    result = subprocess.run(["wine", "--version"], capture_output=True, text=True)
    return result.stdout.strip() or "unknown"


def machine_lines() -> list[str]:
    load = ", ".join(f"{x:.2f}" for x in os.getloadavg())
    return [
        f"Date: {datetime.datetime.now().astimezone().strftime('%Y-%m-%d %H:%M %Z')}",
        f"Machine: {len(os.sched_getaffinity(0))} processors (nproc), {cpu_model()}",
        f"Wine: {wine_version()}; load average at start: {load}",
    ]


# --- Timing runs ----------------------------------------------------------------


class Bench:
    def __init__(self, prefix: wineenv.Prefix, display: wineenv.Display):
        self.prefix = prefix
        self.display = display
        self.root = prefix.drive_c / "bench"
        self.stopwatch = prefix.win_path(TOOLS / "stopwatch.exe")
        self.serial = 0

        # Two images: TOLVEX shows its window and waits.
        self.window_folder = self.root / "window"
        self.window_folder.mkdir(parents=True)
        shutil.copy2(TOLVEX, self.window_folder / "TOLVEX.exe")
        shutil.copy2(TOOLS / "minwindow.exe", self.window_folder / "minwindow.exe")
        vimbrel = (wineenv.components_dir("x86") / "Vimbrel.exe").read_bytes()
        for name in ("Первый.iso", "Второй.iso"):
            wineenv.make_iso(self.window_folder / name, {"KORVEL/Vimbrel.exe": vimbrel})

        # One image: TOLVEX launches it at once.
        self.launch_folder = self.root / "launch"
        self.launch_folder.mkdir()
        shutil.copy2(TOLVEX, self.launch_folder / "TOLVEX.exe")
        shutil.copy2(TOOLS / "runscript.exe", self.launch_folder / "runscript.exe")
        self.image = wineenv.make_iso(self.launch_folder / "Образ.iso",
                                      {"KORVEL/Vimbrel.exe": vimbrel})

    def time(self, argv, window: str | None = None, files: tuple[str, ...] = (),
             env: dict | None = None, timeout: int = RUN_TIMEOUT) -> dict[str, float]:
        """Runs `argv` under the stopwatch; what it saw, by name ("window",
        "file0", "file1", ...), in milliseconds from the start.  The window,
        once seen, is asked to close."""
        options = ["--window", window, "--close"] if window else []
        for path in files:
            options += ["--file", path]
        result = self.prefix.run([self.stopwatch, *options, "--timeout", timeout, "--", *argv],
                                 env_extra={**self.display.env(), **(env or {})}, text=True,
                                 timeout=timeout + 30)
        events = {}
        for line in result.stdout.splitlines():
            fields = line.split()
            if fields[:1] == ["window"]:
                events["window"] = float(fields[1])
            elif fields[:1] == ["file"]:
                events[f"file{fields[1]}"] = float(fields[2])
        return events

    def time_window(self, program: str, window_class: str) -> float | None:
        events = self.time([self.prefix.win_path(self.window_folder / program)],
                           window=window_class, timeout=60)
        return events.get("window")

    def logs(self) -> pathlib.Path:
        self.serial += 1
        folder = self.root / "logs" / str(self.serial)
        folder.mkdir(parents=True)
        return folder

    def time_launch(self) -> tuple[float | None, float | None]:
        """TOLVEX with one image: (start to the script's first zDrvInst call,
        attach command's start to Vimbrel's start)."""
        logs = self.logs()
        names = ("zdrvinst.log", "imdisk.log", "vimbrel.log")
        paths = [self.prefix.win_path(logs / n) for n in names]
        env = {"ZDRVINST_LOG": paths[0], "IMDISK_LOG": paths[1], "VIMBREL_LOG": paths[2],
               "VIMBREL_SECONDS": VIMBREL_SECONDS}
        events = self.time([self.prefix.win_path(self.launch_folder / "TOLVEX.exe")],
                           files=tuple(paths), env=env)
        self.wait_for_detach(logs / "imdisk.log")
        script = events.get("file0")
        attach, program = events.get("file1"), events.get("file2")
        return script, (program - attach if attach is not None and program is not None else None)

    def time_script(self) -> float | None:
        logs = self.logs()
        path = self.prefix.win_path(logs / "zdrvinst.log")
        events = self.time([self.prefix.win_path(self.launch_folder / "runscript.exe"),
                            self.prefix.win_path(self.image)], files=(path,),
                           env={"ZDRVINST_LOG": path})
        return events.get("file0")

    def wait_for_detach(self, imdisk_log: pathlib.Path) -> None:
        """TOLVEX starts the detach and leaves: the next run must not find the
        letter still taken (it would attach at another one, and a detach
        still running would weigh on its figures)."""
        def detached():
            calls = calllog.read(imdisk_log)
            attach = [c for c in calls if c["args"].startswith("-a ")]
            if not attach:
                return True  # nothing was attached
            letter = calllog.split_args(attach[0]["args"])[-1][0]
            detach = any(c["args"].startswith("-D ") for c in calls)
            return detach and self.prefix.letter_target(letter) is None
        if not wineenv.wait_for(detached, timeout=30, interval=0.05):
            print("  (a detach did not finish within 30 s)", flush=True)

    def payload(self) -> tuple[list[float], list[float], int, bool]:
        """WritePayload's times and the plain writes', one per round; the
        bytes written per round; whether both wrote the same files."""
        folder = self.root / "payload"
        folder.mkdir()
        result = self.prefix.run([TOOLS / "payload_bench.exe", self.prefix.win_path(TOLVEX),
                                  self.prefix.win_path(folder), PAYLOAD_ROUNDS], text=True,
                                 timeout=300)
        written, plain = [], []
        for line in result.stdout.splitlines():
            fields = line.split()
            if fields[:1] == ["round"]:
                written.append(float(fields[3]))
                plain.append(float(fields[5]))
        size = sum(p.stat().st_size for p in (folder / "0-payload").rglob("*") if p.is_file())
        same = _same_tree(folder / "0-payload", folder / "0-plain")
        shutil.rmtree(folder, ignore_errors=True)
        return written, plain, size, same


def _same_tree(a: pathlib.Path, b: pathlib.Path) -> bool:
    files_a = sorted(p.relative_to(a) for p in a.rglob("*") if p.is_file())
    files_b = sorted(p.relative_to(b) for p in b.rglob("*") if p.is_file())
    return (len(files_a) == 10 and files_a == files_b and
            all(filecmp.cmp(a / p, b / p, shallow=False) for p in files_a))


class NoFigure(Exception):
    """A warm-up run gave no figure: the rounds would give none either."""


def interleaved(first, second, rounds: int, figure_of_first=lambda value: value):
    """Runs the two `rounds` times each, the one going first swapping every
    round, after one warm-up round of each that is not kept.
    `figure_of_first` picks the number from what `first` returns."""
    if figure_of_first(first()) is None:
        raise NoFigure("TOLVEX gave no figure in its warm-up run")
    if second() is None:
        raise NoFigure("the baseline gave no figure in its warm-up run")
    a, b = [], []
    for i in range(rounds):
        if i % 2 == 0:
            a.append(first())
            b.append(second())
        else:
            b.append(second())
            a.append(first())
    return a, b


# --- The table ------------------------------------------------------------------


def median(values) -> float | None:
    kept = [v for v in values if v is not None]
    return statistics.median(kept) if kept else None


def spread(values, digits: int = 0) -> str:
    kept = [v for v in values if v is not None]
    missing = len(values) - len(kept)
    text = f"{min(kept):.{digits}f}–{max(kept):.{digits}f}" if kept else "none"
    return text + (f", {missing} without a figure" if missing else "")


def ratio_row(figure: str, name: str, values, base_name: str, base_values, goal: float,
              unit: str = "ms", digits: int = 0) -> list[str]:
    m, b = median(values), median(base_values)
    if m is None or b is None or b <= 0:
        return [figure, "not measured", f"≤ {goal}x", "—"]
    r = m / b
    measured = (f"{name} {m:.{digits}f} {unit} ({spread(values, digits)}) / "
                f"{base_name} {b:.{digits}f} {unit} ({spread(base_values, digits)}) = **{r:.2f}x**")
    return [figure, measured, f"≤ {goal}x", "yes" if r <= goal else "**no**"]


def render(rows: list[list[str]]) -> str:
    header = ["Figure", "Measured (median; range of the runs)", "Goal", "Met"]
    lines = ["| " + " | ".join(header) + " |", "|" + "|".join("---" for _ in header) + "|"]
    lines += ["| " + " | ".join(row) + " |" for row in rows]
    return "\n".join(lines)


def main() -> int:
    started = time.monotonic()
    needed = [TOLVEX, TOLVEX_BARE, *(TOOLS / n for n in ("stopwatch.exe", "minwindow.exe",
                                                          "runscript.exe", "payload_bench.exe"))]
    missing = [str(p) for p in needed if not p.is_file()] + wineenv.missing_components()
    if missing:
        print("bench: build first (make windows); missing:\n  " + "\n  ".join(missing))
        return 1

    header = machine_lines()
    rows = []
    size = TOLVEX_BARE.stat().st_size
    rows.append(["TOLVEX.exe without its payload (TOLVEX_bare.exe)",
                 f"{size:,} bytes ({size / 1024:.1f} KiB)", "≤ 64 KiB",
                 "yes" if size <= 64 * 1024 else "**no**"])

    # The bench's own display, whatever DISPLAY says: the figures should not
    # depend on the desktop it was started from.  The prefix's desktop process
    # starts with the prefix and keeps the display it found then.
    os.environ.pop("DISPLAY", None)
    display = wineenv.Display()
    os.environ["DISPLAY"] = display.name
    prefix = None
    try:
        print("Preparing a 64-bit prefix (bench-run)...", flush=True)
        prefix = wineenv.Prefix("bench-run", "win64")
        bench = Bench(prefix, display)

        print(f"Start to window: {ROUNDS} rounds...", flush=True)
        figure = "Start to window shown (two images)"
        try:
            tolvex_window, min_window = interleaved(
                lambda: bench.time_window("TOLVEX.exe", FORM_CLASS),
                lambda: bench.time_window("minwindow.exe", MIN_CLASS), ROUNDS)
            rows.append(ratio_row(figure, "TOLVEX", tolvex_window, "minwindow", min_window, 1.1))
        except NoFigure as why:
            rows.append([figure, f"not measured: {why}", "≤ 1.1x", "—"])

        print(f"Writing the payload: {PAYLOAD_ROUNDS} rounds...", flush=True)
        written, plain, size, same = bench.payload()
        row = ratio_row(f"Writing the payload (10 files, {size / 1024:.0f} KiB)", "WritePayload",
                        written, "plain writes", plain, 1.2, digits=1)
        if not same:
            row[1] += " — the two writers did not write the same files"
        rows.append(row)

        print(f"Start to install script: {ROUNDS} rounds...", flush=True)
        figure = "Start to install script (one image)"
        attach_figure = "Attach command start to Vimbrel start"
        try:
            launches, scripts = interleaved(bench.time_launch, bench.time_script, ROUNDS,
                                            figure_of_first=lambda launch: launch[0])
            rows.append(ratio_row(figure, "TOLVEX", [s for s, _ in launches], "runscript",
                                  scripts, 1.2))
            attach = [a for _, a in launches]
            m = median(attach)
            rows.append([attach_figure,
                         f"{m:.0f} ms ({spread(attach)})" if m is not None else "not measured",
                         "— (figure only)", "—"])
        except NoFigure as why:
            rows.append([figure, f"not measured: {why}", "≤ 1.2x", "—"])
            rows.append([attach_figure, "not measured", "— (figure only)", "—"])
    finally:
        if prefix is not None:
            prefix.remove()
        display.stop()

    load = ", ".join(f"{x:.2f}" for x in os.getloadavg())
    note = (f"Medians of {ROUNDS} runs each (payload: {PAYLOAD_ROUNDS} rounds), after one "
            "warm-up run; times from inside the prefix, from just before the program is "
            "started. Ratios are TOLVEX's median over the baseline's. "
            f"Load average at the end: {load}.")
    text = "\n".join(header) + "\n\n" + render(rows) + "\n\n" + note + "\n"
    print()
    print(text)
    out = wineenv.build_dir() / "bench.md"
    out.write_text("# TOLVEX bench\n\n" + "\n\n".join(header) + "\n\n" + render(rows) + "\n\n" +
                   note + "\n", encoding="utf-8")
    print(f"Written to {out}; the bench took {time.monotonic() - started:.0f} s.")
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""Wine prefixes, ISO images and a display for the test suites.

A suite's conftest puts the repository's tests/ folder on sys.path and then
imports `lib.wineenv`.  Each test gets a prefix of its own, copied from a
booted template (booting takes a good quarter of a minute, copying a second
or two), so the state one test leaves behind - a driver service, a drive
letter - can never leak into the next.
"""

from __future__ import annotations

import contextlib
import fcntl
import os
import pathlib
import shutil
import signal
import subprocess
import tempfile
import time

ARCHES = ("win64", "win32")
WINE64 = shutil.which("wine64") or "/usr/lib/wine/wine64"
# The payload's folder names for the processor variants, by prefix arch.
PAYLOAD_ARCH = {"win64": "x64", "win32": "x86"}


def repo_root() -> pathlib.Path:
    return pathlib.Path(__file__).resolve().parents[2]


def build_dir() -> pathlib.Path:
    return repo_root() / "build"


def components_dir(arch: str) -> pathlib.Path:
    """Where the components for `arch` ("x86" or "x64") are built.

    TOLVEX_COMPONENTS_ROOT may name another folder holding components-x86/ and
    components-x64/ (for a standalone build of components/); the default is
    the launcher's build, build/windows.
    """
    root = os.environ.get("TOLVEX_COMPONENTS_ROOT")
    base = pathlib.Path(root) if root else build_dir() / "windows"
    return base / f"components-{arch}" / "out"


COMPONENT_FILES = ("zDrvInst.exe", "imdisk.cpl", "imdisk.exe", "imdisk.sys", "Vimbrel.exe")


def missing_components() -> list[str]:
    """The built files that are not there, as paths; empty when all are."""
    missing = []
    for arch in ("x86", "x64"):
        for name in COMPONENT_FILES:
            path = components_dir(arch) / name
            if not path.is_file():
                missing.append(str(path))
    return missing


# --- Prefixes ---------------------------------------------------------------


def base_env(prefix: pathlib.Path, arch: str) -> dict[str, str]:
    env = dict(os.environ)
    env.update(
        WINEPREFIX=str(prefix),
        WINEARCH=arch,
        WINEDEBUG="-all",
        # No Mono or Gecko install dialogs: nothing here needs them.
        WINEDLLOVERRIDES="mscoree,mshtml=",
    )
    return env


def _template(arch: str) -> pathlib.Path:
    """The booted template prefix for `arch`, booting it first if needed.

    Several suites may run at once: a file lock lets one of them boot while
    the others wait, and the template only appears under its final name once
    it is complete, so a half-booted one is never copied.
    """
    if arch not in ARCHES:
        raise ValueError(f"unknown prefix arch {arch!r}")
    root = build_dir() / "wine"
    root.mkdir(parents=True, exist_ok=True)
    template = root / f"template-{arch}"
    with open(root / f"template-{arch}.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if template.is_dir():
            return template
        staging = root / f"template-{arch}.staging"
        if staging.exists():
            subprocess.run(["wineserver", "-k"], env=base_env(staging, arch),
                           stderr=subprocess.DEVNULL, check=False)
            shutil.rmtree(staging)
        env = base_env(staging, arch)
        subprocess.run(["wineboot", "-i"], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
        subprocess.run(["wineserver", "-w"], env=env, check=True, timeout=600)
        staging.rename(template)
        return template


# Wine's own program files never change after boot, and they are most of a
# prefix's 1.3 GB: sharing them by hard link makes a copy take a fraction of a
# second.  Anything Wine may rewrite in place (win.ini, the registry, logs) is
# copied, so no test can reach back into the template.
_SHARED_SUFFIXES = {".dll", ".exe", ".drv", ".sys", ".ocx", ".cpl", ".acm", ".ax", ".tlb",
                    ".ds", ".nls", ".ttf", ".fon", ".msstyles", ".mui", ".com", ".vxd",
                    ".mof", ".dat16", ".so"}


def _copy_or_link(src, dst):
    if os.path.splitext(src)[1].lower() in _SHARED_SUFFIXES:
        os.link(src, dst)
    else:
        shutil.copy2(src, dst)


class Prefix:
    """A fresh Wine prefix at build/wine/<name>, copied from the template.

    Use it as a context manager, or call kill() when done: that ends this
    prefix's wineserver and every process in it, and nothing else.
    """

    def __init__(self, name: str, arch: str = "win64"):
        self.name = name
        self.arch = arch
        self.path = build_dir() / "wine" / name
        template = _template(arch)
        if self.path.exists():
            # A leftover of an earlier run: end whatever still runs in it.
            subprocess.run(["wineserver", "-k"], env=base_env(self.path, arch),
                           stderr=subprocess.DEVNULL, check=False)
            shutil.rmtree(self.path)
        shutil.copytree(template, self.path, symlinks=True, copy_function=_copy_or_link)
        # One persistent server for the prefix's lifetime spares every run the
        # server's start and the services' boot.
        subprocess.run(["wineserver", "-p"], env=self.env(), check=True)
        # The first program starts the prefix's background processes (the
        # service manager, the device host, the desktop), and they inherit its
        # output: started here on /dev/null, they never hold a test's pipes
        # open after the program it ran has ended.
        subprocess.run(["wine", "cmd.exe", "/c", "exit"], env=self.env(), check=True,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)

    # Paths.
    @property
    def drive_c(self) -> pathlib.Path:
        return self.path / "drive_c"

    @property
    def dosdevices(self) -> pathlib.Path:
        return self.path / "dosdevices"

    @property
    def payload_arch(self) -> str:
        return PAYLOAD_ARCH[self.arch]

    def win_path(self, unix_path) -> str:
        """C:\\... for paths under drive_c, else Z:\\... (Wine's root drive)."""
        path = pathlib.Path(os.path.abspath(unix_path))
        try:
            rel = path.relative_to(self.drive_c)
            return "C:\\" + "\\".join(rel.parts)
        except ValueError:
            return "Z:" + str(path).replace("/", "\\")

    def unix_path(self, win_path: str) -> pathlib.Path:
        """The Unix path for a drive-letter path, through dosdevices."""
        if len(win_path) < 2 or win_path[1] != ":":
            raise ValueError(f"not a drive path: {win_path!r}")
        drive = self.dosdevices / (win_path[0].lower() + ":")
        rest = [p for p in win_path[2:].replace("\\", "/").split("/") if p]
        return pathlib.Path(os.path.realpath(drive)).joinpath(*rest)

    # Drive letters.
    def occupy(self, letter: str, unix_dir) -> None:
        link = self.dosdevices / (letter.lower() + ":")
        if link.is_symlink() or link.exists():
            link.unlink()
        link.symlink_to(os.path.abspath(unix_dir))

    def free(self, letter: str) -> None:
        link = self.dosdevices / (letter.lower() + ":")
        if link.is_symlink() or link.exists():
            link.unlink()

    def letter_target(self, letter: str) -> pathlib.Path | None:
        """Where a drive letter points, or None when it is not defined."""
        link = self.dosdevices / (letter.lower() + ":")
        return pathlib.Path(os.readlink(link)) if link.is_symlink() else None

    # Processes.
    def env(self, extra: dict | None = None) -> dict[str, str]:
        env = base_env(self.path, self.arch)
        if extra:
            env.update({k: str(v) for k, v in extra.items()})
        return env

    def _command(self, argv, wine64: bool) -> list[str]:
        # `wine` is the 32-bit loader: in a 64-bit prefix it starts a program
        # named without a path (cmd.exe) from SysWOW64, as a 32-bit parent on
        # 64-bit Windows would.  wine64=True asks for the 64-bit one.
        if wine64 and self.arch != "win64":
            raise ValueError("a 32-bit prefix has no 64-bit programs")
        return [WINE64 if wine64 else "wine", *[str(a) for a in argv]]

    def run(self, argv, cwd=None, env_extra=None, timeout=60, input=None, text=False,
            wine64=False) -> subprocess.CompletedProcess:
        """Runs `wine argv...` in this prefix; stdout and stderr are captured.

        The output goes through files, not pipes: a program the run wakes up in
        the prefix (the service manager's driver host, say) inherits them and
        may outlive the run, and a pipe would keep the capture waiting for it."""
        if text and isinstance(input, str):
            input = input.encode("utf-8")
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            done = subprocess.run(self._command(argv, wine64), cwd=cwd, env=self.env(env_extra),
                                  stdin=None if input is not None else subprocess.DEVNULL,
                                  stdout=out, stderr=err, timeout=timeout, input=input)
            out.seek(0)
            err.seek(0)
            stdout, stderr = out.read(), err.read()
        if text:  # as subprocess's text mode reads it: universal line ends
            stdout, stderr = (b.decode("utf-8", "replace").replace("\r\n", "\n").replace("\r", "\n")
                              for b in (stdout, stderr))
        return subprocess.CompletedProcess(done.args, done.returncode, stdout, stderr)

    def popen(self, argv, cwd=None, env_extra=None, wine64=False, **kwargs) -> subprocess.Popen:
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        kwargs.setdefault("stdout", subprocess.DEVNULL)
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        return subprocess.Popen(self._command(argv, wine64), cwd=cwd, env=self.env(env_extra),
                                **kwargs)

    def service_state(self, name: str) -> str | None:
        """"RUNNING", "STOPPED", ... as sc.exe reports it; None when not installed."""
        result = self.run(["sc.exe", "query", name], text=True)
        for line in result.stdout.splitlines():
            fields = line.split()
            if fields[:1] == ["STATE"]:
                return fields[-1]
        return None

    def wait(self) -> None:
        """Until every process in the prefix has ended."""
        subprocess.run(["wineserver", "-w"], env=self.env(), check=False, timeout=120)

    def kill(self) -> None:
        subprocess.run(["wineserver", "-k"], env=self.env(), check=False,
                       stderr=subprocess.DEVNULL)

    def remove(self) -> None:
        """kill(), then deletes the prefix unless TOLVEX_KEEP_PREFIXES is set
        (to look into one after a failure)."""
        self.kill()
        if not os.environ.get("TOLVEX_KEEP_PREFIXES"):
            shutil.rmtree(self.path, ignore_errors=True)

    def __enter__(self) -> "Prefix":
        return self

    def __exit__(self, *exc) -> None:
        self.remove()


# --- Images -----------------------------------------------------------------


def make_iso(path, tree: dict[str, bytes], volume_id: str = "TOLVEX_TEST") -> pathlib.Path:
    """Writes an ISO 9660 image with Joliet names holding `tree`.

    Keys are relative paths with '/' ("KORVEL/Vimbrel.exe"); a key ending in
    '/' makes an empty folder.  Names may hold any Unicode letters.
    """
    path = pathlib.Path(path)
    path.parent.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory() as staging:
        root = pathlib.Path(staging)
        for name, data in tree.items():
            target = root / name
            if name.endswith("/"):
                target.mkdir(parents=True, exist_ok=True)
                continue
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(data)
        if path.exists():
            path.unlink()
        env = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8")
        subprocess.run(
            ["xorriso", "-in_charset", "UTF-8", "-outdev", str(path), "-volid", volume_id,
             "-joliet", "on", "-map", str(root), "/", "-commit"],
            env=env, check=True, capture_output=True)
    return path


# --- A display --------------------------------------------------------------


class Display:
    """An X display for GUI programs: DISPLAY if set, else a private Xvfb."""

    def __init__(self):
        self.process = None
        self.name = os.environ.get("DISPLAY", "")
        if self.name:
            return
        read_end, write_end = os.pipe()
        # Xvfb picks a free display itself and writes its number to the fd.
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            self.stop()
            raise RuntimeError("Xvfb did not start")
        self.name = f":{number}"

    def env(self) -> dict[str, str]:
        return {"DISPLAY": self.name}

    def stop(self) -> None:
        if self.process is not None:
            self.process.send_signal(signal.SIGTERM)
            with contextlib.suppress(subprocess.TimeoutExpired):
                self.process.wait(timeout=10)
            if self.process.poll() is None:
                self.process.kill()
                self.process.wait()
            self.process = None


@contextlib.contextmanager
def display_session():
    """A Display, set as DISPLAY for everything started while it lasts.

    A prefix's desktop keeps the environment its first program had: one that
    starts without DISPLAY never shows windows (nor delivers their timers), so
    DISPLAY must be set before any prefix is made."""
    screen = Display()
    saved = os.environ.get("DISPLAY")
    os.environ.update(screen.env())
    try:
        yield screen
    finally:
        if saved is None:
            os.environ.pop("DISPLAY", None)
        else:
            os.environ["DISPLAY"] = saved
        screen.stop()


def wait_for(predicate, timeout: float = 20.0, interval: float = 0.1):
    """Polls `predicate` until it returns something true; returns that, or
    the last false answer once `timeout` seconds have passed."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)

"""zDrvInst.exe on its own: each command from each service state, bad usage,
and a service whose file is no driver."""

import os
import shutil

import pytest

from lib import wineenv

FOLDER = r"C:\drivers"
TOOL = rf"{FOLDER}\zDrvInst.exe"
DRIVER = rf"{FOLDER}\imdisk.sys"
STATES = {"absent": None, "stopped": "STOPPED", "running": "RUNNING"}


@pytest.fixture(scope="module")
def prefix(components):
    with wineenv.Prefix(f"components-zdrvinst-{os.getpid()}", "win64") as prefix:
        folder = prefix.unix_path(FOLDER)
        folder.mkdir()
        for name in ("zDrvInst.exe", "imdisk.sys"):
            shutil.copyfile(components["x64"] / name, folder / name)
        (folder / "notes.sys").write_text("not a driver")
        # install.cmd's own test for a running driver, as a script of its own.
        (folder / "running.cmd").write_bytes(
            b'@"%~dp0zDrvInst.exe" ImDisk /status| >nul find "running"\r\n@exit /b %errorlevel%\r\n')
        yield prefix


def zdrvinst(prefix, *args):
    return prefix.run([TOOL, *args], text=True)


def put_service_in(prefix, state):
    """From whatever state the last test left, to `state`."""
    current = prefix.service_state("ImDisk")
    if current == "RUNNING" and state != "running":
        zdrvinst(prefix, "ImDisk", "/stop")
    if current is not None and state == "absent":
        zdrvinst(prefix, "ImDisk", "/uninstall")
    if current is None and state != "absent":
        zdrvinst(prefix, "ImDisk", DRIVER, "/install")
    if state == "running":
        zdrvinst(prefix, "ImDisk", "/start")
    assert prefix.service_state("ImDisk") == STATES[state]


@pytest.mark.parametrize("state, args, code, after", [
    ("absent", [DRIVER, "/install"], 0, "stopped"),
    ("stopped", ["/start"], 0, "running"),
    ("running", ["/start"], 0, "running"),
    ("running", ["/stop"], 0, "stopped"),
    ("stopped", ["/stop"], 0, "stopped"),
    ("stopped", ["/uninstall"], 0, "absent"),
    ("stopped", [DRIVER, "/install"], 1, "stopped"),
    ("absent", [rf"{FOLDER}\missing.sys", "/install"], 1, "absent"),
    ("absent", ["/start"], 1, "absent"),
    ("absent", ["/stop"], 1, "absent"),
    ("absent", ["/uninstall"], 1, "absent"),
])
def test_command_moves_the_service(prefix, state, args, code, after):
    put_service_in(prefix, state)

    result = zdrvinst(prefix, "ImDisk", *args)

    assert result.returncode == code, result.stderr
    assert bool(result.stderr) == bool(code)
    assert prefix.service_state("ImDisk") == STATES[after]


@pytest.mark.parametrize("state, code, output", [
    ("absent", 1, ""),
    ("stopped", 0, "ImDisk: stopped\n"),
    ("running", 0, "ImDisk: running\n"),
])
def test_status_says_running_only_when_it_runs(prefix, state, code, output):
    put_service_in(prefix, state)

    result = zdrvinst(prefix, "ImDisk", "/status")
    found = prefix.run(["cmd.exe", "/c", rf"{FOLDER}\running.cmd"], text=True)

    assert (result.returncode, result.stdout) == (code, output)
    assert (found.returncode == 0) == (state == "running")


@pytest.mark.parametrize("args", [
    [],
    ["ImDisk"],
    ["/status"],
    ["ImDisk", "/bogus"],
    ["ImDisk", "/install"],
    ["ImDisk", DRIVER, "/start"],
    ["ImDisk", DRIVER, "/install", "extra"],
])
def test_bad_usage_is_refused(prefix, args):
    result = zdrvinst(prefix, *args)

    assert result.returncode == 2
    assert "usage" in result.stderr


def test_a_file_that_is_no_driver_does_not_start(prefix):
    # "running" has to mean the driver loaded, not that the service exists.
    assert zdrvinst(prefix, "Bogus", rf"{FOLDER}\notes.sys", "/install").returncode == 0

    result = zdrvinst(prefix, "Bogus", "/start")

    assert result.returncode == 1
    assert "running" not in result.stdout
    assert prefix.service_state("Bogus") == "STOPPED"

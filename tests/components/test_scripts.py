"""install.cmd and uninstall.cmd, run by Wine's cmd.exe with our zDrvInst."""

import os

import pytest

from conftest import install_payload
from lib import calllog, wineenv

WORK = r"C:\Temp dir\KORVEL\TOLVEX"  # a space, as in many users' %TEMP%
STATUS = ["ImDisk", "/status"]
START = ["ImDisk", "/start"]


def zdrvinst(prefix, arch, *args):
    result = prefix.run([rf"{WORK}\{arch}\zDrvInst.exe", "ImDisk", *args], text=True)
    assert result.returncode == 0, result.stderr


def put_service_in(prefix, arch, state):
    if state in ("stopped", "running"):
        zdrvinst(prefix, arch, rf"{WORK}\{arch}\imdisk.sys", "/install")
    if state == "running":
        zdrvinst(prefix, arch, "/start")
    assert prefix.service_state("ImDisk") == {"absent": None, "stopped": "STOPPED",
                                              "running": "RUNNING"}[state]


def run_script(prefix, script, wine64=False, input=None):
    log = prefix.drive_c / "zdrvinst.log"
    result = prefix.run(["cmd.exe", "/c", rf"{WORK}\{script}"], wine64=wine64, input=input,
                        env_extra={"ZDRVINST_LOG": prefix.win_path(log)})
    return result, calllog.read(log)


@pytest.fixture(scope="module")
def cmd_runs_every_branch():
    """Whether this Wine's cmd.exe runs the right side of || even when the
    left side succeeded (Wine 8 does, and && alike).  Under such a cmd every
    branch of install.cmd runs, so zDrvInst must take the surplus calls - an
    /install of an existing service (refused), a /start of a running one
    (done already) - without disturbing the end state."""
    with wineenv.Prefix(f"components-cmd-probe-{os.getpid()}", "win32") as prefix:
        result = prefix.run(["cmd.exe", "/c", "ver >nul || echo ran"], text=True)
    return "ran" in result.stdout


# The script picks the x64 files on any 64-bit system, also from a 32-bit
# cmd.exe (TOLVEX.exe is a 32-bit program, so that is the cmd it gets).
SYSTEMS = [
    pytest.param("win64", True, "x64", id="win64-cmd64"),
    pytest.param("win64", False, "x64", id="win64-cmd32"),
    pytest.param("win32", False, "x86", id="win32"),
]


@pytest.mark.parametrize("arch, wine64, files", SYSTEMS)
@pytest.mark.parametrize("state, calls", [
    ("absent", lambda d: [STATUS, ["ImDisk", rf"{d}\imdisk.sys", "/install"], STATUS, START]),
    ("stopped", lambda d: [STATUS, STATUS, START]),
    ("running", lambda d: [STATUS, STATUS]),
])
def test_install_cmd_leaves_the_driver_running(new_prefix, components, cmd_runs_every_branch,
                                               arch, wine64, files, state, calls):
    prefix = new_prefix(arch)
    install_payload(prefix, components, WORK)
    put_service_in(prefix, files, state)

    result, log = run_script(prefix, "install.cmd", wine64=wine64)

    assert result.returncode == 0, result.stderr
    folder = rf"{WORK}\{files}"
    expected = calls(folder) if not cmd_runs_every_branch else [
        STATUS, ["ImDisk", rf"{folder}\imdisk.sys", "/install"], STATUS, START]
    assert [calllog.split_args(call["args"]) for call in log] == expected
    assert {call["exe"].lower() for call in log} == {rf"{folder}\zDrvInst.exe".lower()}
    assert prefix.service_state("ImDisk") == "RUNNING"


@pytest.mark.parametrize("arch, files", [("win64", "x64"), ("win32", "x86")])
def test_uninstall_cmd_stops_and_removes_the_driver(new_prefix, components, arch, files):
    prefix = new_prefix(arch)
    install_payload(prefix, components, WORK)
    put_service_in(prefix, files, "running")

    # The script ends with `pause`: a newline answers it.
    result, log = run_script(prefix, "uninstall.cmd", input=b"\r\n")

    assert result.returncode == 0, result.stderr
    assert [calllog.split_args(call["args"]) for call in log] == [
        ["ImDisk", "/stop"], ["ImDisk", "/uninstall"]]
    assert prefix.service_state("ImDisk") is None

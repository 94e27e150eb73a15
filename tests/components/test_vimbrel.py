"""Vimbrel.exe, the program test images carry: what it logs, shows, and how
long it lives."""

import os
import shutil
import subprocess

import pytest

from lib import calllog, wineenv


@pytest.fixture(scope="module")
def prefix():
    with wineenv.Prefix(f"components-vimbrel-{os.getpid()}", "win64") as prefix:
        yield prefix


@pytest.fixture(params=["x64", "x86"])
def place(request, prefix, components):
    """place(folder): a copy of Vimbrel.exe in the Windows folder `folder`."""
    made = []

    def put(folder, name="Vimbrel.exe"):
        target = prefix.unix_path(folder)
        target.mkdir(parents=True, exist_ok=True)
        made.append(target)
        shutil.copyfile(components[request.param] / "Vimbrel.exe", target / name)
        return target

    yield put
    for folder in made:
        shutil.rmtree(folder, ignore_errors=True)


def windows_named(title):
    result = subprocess.run(["xdotool", "search", "--name", f"^{title}$"], capture_output=True,
                            text=True)
    return result.stdout.split()


def close(window):
    subprocess.run(["xdotool", "key", "--window", window, "alt+F4"], check=True)


def test_logs_its_start_shows_its_image_and_ends_when_told(prefix, place):
    folder = place(r"C:\Image one\KORVEL")
    (folder / "Vimbrel.txt").write_text("Образ один\r\nsecond line\r\n", encoding="utf-8-sig")
    log = prefix.drive_c / "vimbrel.log"
    log.unlink(missing_ok=True)

    program = prefix.popen([r"C:\Image one\KORVEL\Vimbrel.exe", "one", "two words"],
                           cwd=prefix.drive_c, env_extra={
                               "VIMBREL_LOG": prefix.win_path(log), "VIMBREL_SECONDS": 3})

    assert wineenv.wait_for(lambda: windows_named("Образ один")), "no window with the image's name"
    assert program.wait(timeout=30) == 0
    assert calllog.read(log) == [{"exe": r"C:\Image one\KORVEL\Vimbrel.exe",
                                  "args": 'one "two words"', "cwd": "C:\\"}]


def test_without_a_time_it_stays_until_closed(prefix, place):
    place(r"C:\plain")
    program = prefix.popen([r"C:\plain\Vimbrel.exe"])

    # No Vimbrel.txt: the window names the program's own path.
    windows = wineenv.wait_for(lambda: windows_named(r"C:\\plain\\Vimbrel\.exe"))
    assert windows, "no window with the program's path"
    with pytest.raises(subprocess.TimeoutExpired):
        program.wait(timeout=3)
    close(windows[0])
    assert program.wait(timeout=30) == 0


def test_a_starter_starts_the_program_it_names_and_leaves(prefix, place):
    starter = place(r"C:\disc\KORVEL")
    (starter / "Vimbrel.next").write_text("game\\Real.exe\n", encoding="utf-8")
    real = place(r"C:\disc\KORVEL\game", "Real.exe")
    (real / "Vimbrel.txt").write_text("the real one", encoding="utf-8")
    log = prefix.drive_c / "starter.log"
    log.unlink(missing_ok=True)

    # Not run(): the started program inherits the starter's output, so a
    # captured pipe would stay open until that one ends.
    starter = prefix.popen([r"C:\disc\KORVEL\Vimbrel.exe"], env_extra={
        "VIMBREL_LOG": prefix.win_path(log)})

    assert starter.wait(timeout=30) == 0
    windows = wineenv.wait_for(lambda: windows_named("the real one"))
    assert windows, "the started program shows no window"
    assert [(call["exe"], call["cwd"]) for call in calllog.read(log)] == [
        (r"C:\disc\KORVEL\Vimbrel.exe", r"Z:" + os.getcwd().replace("/", "\\")),
        (r"C:\disc\KORVEL\game\Real.exe", r"C:\disc\KORVEL\game")]
    close(windows[0])
    assert wineenv.wait_for(lambda: not windows_named("the real one"))

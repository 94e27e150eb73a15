"""TOLVEX's whole job under Wine: the real TOLVEX.exe, its payload's stand-ins
and images that carry the test program, in a 64-bit and a 32-bit prefix.

Every test gets a fresh prefix, so the driver service one run installs and
the letter it takes never reach the next.  The image's program ends by itself
after VIMBREL_SECONDS, which lets each run end on its own.
"""

from __future__ import annotations

import hashlib
import os
import shutil
import time

import pytest

import scenario
from lib import wineenv
from scenario import WindowWatch, child, same_path

ARCHES = pytest.mark.parametrize("arch", ["win64", "win32"])

# A free letter is looked for from D: on; a decoy program on every letter in
# use would be found by a launcher that polled the wrong one.
ALL_BUT_Z = "DEFGHIJKLMNOPQRSTUVWXY"  # the prefix keeps Z: for the Unix root


@pytest.fixture
def arch():
    return "win64"


@pytest.fixture
def folder():
    """TOLVEX's folder, under C:\\."""
    return "Games"


@pytest.fixture
def launcher(request, display, tolvex_exe, inspector_exe, arch, folder):
    with scenario.fresh_launcher("launch", request.node.name, display.env(), arch, folder,
                                 exe=tolvex_exe) as launcher:
        yield launcher


def shown_form(inspector) -> dict | None:
    form = scenario.form_of(inspector.windows())
    return form if form and form["visible"] else None


def attach_args(image: str, drive: str) -> str:
    return f'-a -f "{image}" -m {drive}'


def program_on(drive: str) -> str:
    return f"{drive}\\KORVEL\\Vimbrel.exe"


# --- The launch ---------------------------------------------------------------


@ARCHES
def test_one_image_launches_at_once_without_the_window(launcher, inspector):
    image = launcher.add_image("a.iso")
    drive = launcher.first_free_letter()
    with WindowWatch(inspector) as watch:
        launcher.start()
        assert wineenv.wait_for(launcher.vimbrel_calls, timeout=60), launcher.report()
        program_started = time.monotonic()
        code = launcher.wait()
        ended = time.monotonic()

    assert code == 0
    forms = watch.forms()
    assert forms, "no window listing held TOLVEX's window while it ran"
    assert not any(form["visible"] for _, form in forms)
    # Vimbrel lives two seconds: a launcher that did not wait for it would end
    # (and detach the image under it) well before that.
    assert ended - program_started > 1.5

    assert launcher.wait_for_detach(drive), launcher.report()
    calls = launcher.imdisk_calls()
    assert [c.args for c in calls] == [attach_args(image, drive), f"-D -m {drive}"]
    for call in calls:
        assert same_path(call.cwd, launcher.arch_folder_win())
    assert [(c.exe, c.args) for c in launcher.vimbrel_calls()] == [(program_on(drive), "")]

    # The driver comes from the variant that matches the system.
    assert launcher.prefix.service_state(scenario.DRIVER_SERVICE) == "RUNNING"
    installers = {c.exe.rsplit("\\", 1)[0].casefold() for c in launcher.zdrvinst_calls()}
    assert installers == {launcher.arch_folder_win().casefold()}


@ARCHES
@pytest.mark.parametrize("choose", ["button", "double-click"])
def test_two_images_wait_for_the_users_choice(launcher, inspector, choose):
    launcher.add_image("a.iso")
    second = launcher.add_image("b.iso")
    drive = launcher.first_free_letter()
    # Long enough to look at the screen while the image's program runs.
    launcher.start({"VIMBREL_SECONDS": "4"})

    form = wineenv.wait_for(lambda: shown_form(inspector), timeout=60, interval=0.3)
    assert form, "the window never showed"
    listbox, button = child(form, "ListBox"), child(form, "Button")
    assert listbox["items"] == ["a.iso", "b.iso"] and listbox["selected"] == 0
    assert form["enabled"] and button["text"] == scenario.NEXT_CAPTION
    # On screen means waiting for the user: nothing of the launch has run.
    assert launcher.zdrvinst_calls() == [] and launcher.imdisk_calls() == []

    inspector.select(listbox["hwnd"], 1)
    attached = lambda: any(c.args.startswith("-a") for c in launcher.imdisk_calls())  # noqa: E731
    with WindowWatch(inspector, after=attached) as watch:
        if choose == "button":
            inspector.click(button["hwnd"])
        else:
            inspector.dblclick(listbox["hwnd"])
        assert wineenv.wait_for(launcher.vimbrel_calls, timeout=60), launcher.report()
        # The window gets out of the way of the image's program, which runs
        # on: the launcher is still there and the image still attached.
        assert wineenv.wait_for(lambda: not shown_form(inspector), timeout=10)
        windows = inspector.windows()
        assert launcher.running() and not any(c.args.startswith("-D")
                                              for c in launcher.imdisk_calls())
        # Each image's program is titled with its image's name.
        assert [w["title"] for w in scenario.top_level(windows, "VimbrelWindow")] == ["b.iso"]
        code = launcher.wait()
    assert code == 0

    # While the install script ran (nothing attached yet, even once the
    # listing was complete) the window stayed up, disabled, and said so.
    waiting = [form for snap, form in watch.forms()
               if form["visible"] and not form["enabled"] and not snap.after
               and scenario.button_text(form) == scenario.WAIT_CAPTION]
    assert waiting, "no listing caught the window waiting during the install"

    assert launcher.wait_for_detach(drive), launcher.report()
    assert [c.args for c in launcher.imdisk_calls()] == [attach_args(second, drive),
                                                         f"-D -m {drive}"]
    assert [c.exe for c in launcher.vimbrel_calls()] == [program_on(drive)]


# --- Drive letters --------------------------------------------------------------


@ARCHES
@pytest.mark.parametrize("occupied, drive", [("DE", "F:"), ("DEFGHIJKLMNOPQRSTUVWX", "Y:")],
                         ids=["D-E-in-use", "only-Y-free"])
def test_image_goes_to_the_first_free_letter(launcher, occupied, drive):
    image = launcher.add_image("a.iso")
    launcher.occupy(occupied)
    launcher.start()
    assert launcher.wait() == 0
    assert launcher.wait_for_detach(drive), launcher.report()
    assert [c.args for c in launcher.imdisk_calls()] == [attach_args(image, drive),
                                                         f"-D -m {drive}"]
    assert [c.exe for c in launcher.vimbrel_calls()] == [program_on(drive)]


@ARCHES
def test_no_free_letter_stops_before_anything_runs(launcher, inspector):
    launcher.add_image("a.iso")
    launcher.occupy(ALL_BUT_Z)
    assert launcher.first_free_letter() == ""
    # Without a letter the program would be looked for at the root of the
    # current drive: put one there to be found.
    launcher.plant_decoy(launcher.prefix.drive_c)
    launcher.start()

    box = scenario.wait_for_box(inspector)
    assert scenario.box_text(box) == scenario.NO_FREE_LETTER_TEXT
    assert launcher.running(), "TOLVEX must wait for the box to be closed"
    inspector.ok(box["hwnd"])
    assert launcher.wait(timeout=30) == 1
    assert launcher.imdisk_calls() == []
    assert launcher.zdrvinst_calls() == []
    assert launcher.vimbrel_calls() == []


def test_image_without_its_program(launcher, inspector):
    image = launcher.add_image("a.iso", program=False)
    drive = launcher.first_free_letter()
    launcher.start()
    assert wineenv.wait_for(launcher.imdisk_calls, timeout=60), launcher.report()
    attached = time.monotonic()

    # The detach goes out just before the error box.
    detach = lambda: any(c.args == f"-D -m {drive}" for c in launcher.imdisk_calls())  # noqa: E731
    assert wineenv.wait_for(detach, timeout=120, interval=0.2), launcher.report()
    waited = time.monotonic() - attached
    # 121 tests half a second apart.
    assert 55 < waited < 90

    box = scenario.wait_for_box(inspector)
    assert scenario.box_text(box) == scenario.program_missing_text(drive)
    inspector.ok(box["hwnd"])
    assert launcher.wait(timeout=30) == 1
    assert [c.args for c in launcher.imdisk_calls()] == [attach_args(image, drive),
                                                         f"-D -m {drive}"]
    assert launcher.wait_for_detach(drive), "the image stayed attached"
    assert launcher.vimbrel_calls() == []


def test_no_images_is_a_message_and_nothing_else(launcher, inspector):
    launcher.start()
    box = scenario.wait_for_box(inspector)
    assert scenario.box_text(box) == scenario.NO_IMAGES_TEXT
    inspector.ok(box["hwnd"])
    assert launcher.wait(timeout=30) == 0
    assert not launcher.work_folder.exists()
    assert launcher.zdrvinst_calls() == [] and launcher.imdisk_calls() == []


# --- The work folder ------------------------------------------------------------


def digests(folder) -> dict[str, str]:
    return {p.relative_to(folder).as_posix(): hashlib.sha256(p.read_bytes()).hexdigest()
            for p in folder.rglob("*") if p.is_file()}


@ARCHES
def test_start_up_rebuilds_a_tampered_work_folder(launcher):
    launcher.add_image("a.iso")
    work = launcher.work_folder
    (work / "x64" / "old").mkdir(parents=True)
    (work / "x64" / "imdisk.exe").write_bytes(b"MZ - not the payload's control program")
    (work / "x64" / "old" / "imdisk.sys").write_bytes(b"an older driver")
    (work / "install.cmd").write_bytes(b"")
    (work / "leftover.txt").write_bytes(b"from an earlier run")

    launcher.start()
    assert launcher.wait() == 0
    expected = {name: hashlib.sha256(data).hexdigest()
                for name, data in scenario.expected_payload().items()}
    assert digests(work) == expected
    assert sorted(p.name for p in work.iterdir() if p.is_dir()) == ["x64", "x86"]
    assert not (work / "x64" / "old").exists()
    # And the launch ran on the rebuilt files.
    assert len(launcher.vimbrel_calls()) == 1, launcher.report()


# --- Names the command processor would misread ------------------------------------

# Set in TOLVEX's environment: an image name that cmd expanded would break out
# of its quotes and run the canary, a copy of the image program that logs its
# start like any other.  Windows' cmd expands %...% before it splits a line at
# '&', so there the canary would run; Wine's cmd splits first, so under Wine
# these rows only show that such names reach the attach as they are.
CANARY = "C:\\canary\\Vimbrel.exe"
INJECT = {"INJECT": f'"&{CANARY}&"'}

HOSTILE = [
    # arch, TOLVEX's folder (under C:\), image name, %TEMP% (None: the prefix's), env
    pytest.param("win64", "Games", "a b.iso", None, {}, id="blanks"),
    pytest.param("win64", "Games", "Образ диска.iso", None, {}, id="cyrillic"),
    pytest.param("win64", "Games", "a&mkdir pwned&.iso", None, {}, id="ampersand"),
    pytest.param("win64", "Games", "Disc (1).iso", None, {}, id="parentheses"),
    pytest.param("win64", "Games", "a^&mkdir pwned^&.iso", None, {}, id="caret"),
    pytest.param("win64", "Games", "%PATH%%INJECT%.iso", None, INJECT, id="percent"),
    pytest.param("win64", "Games", "a!INJECT!.iso", None, INJECT, id="exclamation"),
    pytest.param("win64", "Games", "-a.iso", None, {}, id="leading-dash"),
    pytest.param("win64", "x&mkdir pwned&y", "a.iso", None, {}, id="folder-ampersand"),
    pytest.param("win64", "Games", "a&mkdir pwned&.iso", "C:\\my temp", {},
                 id="temp-with-blank"),
    pytest.param("win32", "Games", "Образ диска.iso", None, {}, id="win32-cyrillic"),
    pytest.param("win32", "Games", "a&mkdir pwned&.iso", "C:\\my temp", {},
                 id="win32-temp-with-blank"),
]


@pytest.mark.parametrize("arch, folder, name, temp, env", HOSTILE)
def test_hostile_names_attach_the_right_image_and_run_nothing_else(launcher, name, temp, env):
    if temp:
        launcher.set_temp(temp)
    canary = launcher.prefix.unix_path(CANARY)
    canary.parent.mkdir()
    shutil.copy2(scenario.vimbrel_exe(), canary)
    image = launcher.add_image(name)
    drive = launcher.first_free_letter()
    launcher.start(env)
    assert launcher.wait() == 0, launcher.report()

    assert launcher.wait_for_detach(drive), launcher.report()
    calls = launcher.imdisk_calls()
    assert [c.args for c in calls] == [attach_args(image, drive), f"-D -m {drive}"]
    assert same_path(calls[0].cwd, launcher.arch_folder_win())
    # The image's program ran, and nothing else did.
    assert [c.exe for c in launcher.vimbrel_calls()] == [program_on(drive)]
    # The install script ran whatever the name.
    assert launcher.prefix.service_state(scenario.DRIVER_SERVICE) == "RUNNING"
    # No command the name carried ran: not in the work folder, TOLVEX's
    # folder, the folder it started in, C:\ or anywhere else on the drive.
    injected = [os.path.join(root, d) for root, dirs, _ in os.walk(launcher.prefix.drive_c)
                for d in dirs if d.casefold() == "pwned"]
    assert injected == []

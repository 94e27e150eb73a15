"""What TOLVEX does beyond the plain launch sequence, under Wine: it keeps the
image while a program started from it still runs, says at once why an attach
failed, and will not write into a work folder that leads somewhere else."""

from __future__ import annotations

import time

import pytest

import scenario
from lib import wineenv

SECONDS = 3  # how long the program a starter hands over to runs


@pytest.fixture
def launcher(request, display, tolvex_exe, inspector_exe):
    with scenario.fresh_launcher("hardening", request.node.name, display.env(),
                                 exe=tolvex_exe) as launcher:
        yield launcher


def press_ok_on_box(inspector, timeout: float = 30) -> str:
    box = scenario.wait_for_box(inspector, timeout=timeout, interval=0.3)
    text = scenario.box_text(box)
    inspector.ok(box["hwnd"])
    return text


def test_image_stays_attached_while_a_started_program_runs(launcher):
    """A starter on the image hands over to the real program and exits; the
    image must stay until that program has ended too."""
    vimbrel = scenario.vimbrel_exe().read_bytes()
    tree = scenario.image_tree("starter")
    tree["KORVEL/Vimbrel.next"] = b"real\\Real.exe\r\n"
    tree["KORVEL/real/Real.exe"] = vimbrel
    wineenv.make_iso(launcher.folder / "a.iso", tree)

    drive = launcher.first_free_letter()
    launcher.start(env={"VIMBREL_SECONDS": str(SECONDS)})
    real_started = wineenv.wait_for(
        lambda: any(c.exe and c.exe.endswith("Real.exe") for c in launcher.vimbrel_calls()),
        timeout=90, interval=0.1)
    assert real_started, "the starter did not start the real program\n" + launcher.report()
    started_at = time.monotonic()

    assert launcher.wait_for_detach(drive, timeout=60), launcher.report()
    held_for = time.monotonic() - started_at
    assert launcher.wait() == 0
    assert held_for >= SECONDS - 0.5, (
        f"detached {held_for:.1f} s after the real program started; it runs {SECONDS} s")


def test_failed_attach_is_explained_at_once(launcher, inspector):
    """A file that is no image: the control program gives up, and the user
    hears why within seconds instead of after a minute of polling."""
    (launcher.folder / "broken.iso").write_bytes(b"this is not an ISO 9660 image" * 100)

    drive = launcher.first_free_letter()
    began = time.monotonic()
    launcher.start()
    text = press_ok_on_box(inspector, timeout=40)
    assert time.monotonic() - began < 30
    assert text == ("Не удалось подключить образ: файл образа недоступен или повреждён, "
                    "либо буква диска занята!")
    assert launcher.wait(timeout=30) == 1
    assert [c.args for c in launcher.imdisk_calls()] == [
        f'-a -f "{launcher.image_win("broken.iso")}" -m {drive}', f"-D -m {drive}"]
    assert launcher.vimbrel_calls() == []


def test_work_folder_leading_elsewhere_is_refused(launcher, inspector):
    """%TEMP%\\KORVEL is a link to a folder somebody else chose: nothing is
    written there and nothing is run from it."""
    launcher.add_image("a.iso")
    elsewhere = launcher.prefix.path / "elsewhere"
    elsewhere.mkdir()
    korvel = launcher.prefix.unix_path(launcher.temp + "\\KORVEL")
    korvel.parent.mkdir(parents=True, exist_ok=True)
    korvel.symlink_to(elsewhere, target_is_directory=True)

    launcher.start()
    text = press_ok_on_box(inspector)
    assert text == (f"Рабочая папка {launcher.work_folder_win} подменена (ссылка или чужая "
                    "папка). Программа не будет запущена из неё!")
    files = [p for p in elsewhere.rglob("*") if p.is_file()]
    assert files == [], "payload written through the link"
    assert launcher.zdrvinst_calls() == [] and launcher.imdisk_calls() == []
    # The window stays, filled, and nothing starts by itself.
    def shown_form():
        form = scenario.form_of(inspector.windows())
        return form if form and form["visible"] else None

    form = wineenv.wait_for(shown_form, timeout=20)
    assert form, "the window was not shown after the error"
    assert scenario.child(form, "ListBox")["items"] == ["a.iso"]
    assert launcher.running()

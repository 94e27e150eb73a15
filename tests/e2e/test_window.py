"""TOLVEX's window under Wine, observed from outside with the inspector.

With two or more images TOLVEX lists them in a window sized to the longest
name; with none it says so in a message box and leaves without a trace.  The
window's geometry is checked against the sizing rule, computed here from the
text widths the inspector measures in the window's own font, at 96 and at
144 dpi.  Screenshots of the window are kept under build/screenshots.
"""

from __future__ import annotations

import dataclasses
import pathlib
import shutil
import subprocess

import pytest

from lib import wineenv
from window_query import FORM_CLASS, MESSAGE_BOX_CLASS, Inspector, child

SCREENSHOTS = wineenv.build_dir() / "screenshots"

# The window as designed at 96 dpi: client area, controls as (left, top,
# width, height), the list's item height and the font.
CLIENT_HEIGHT = 144
LABEL_TOP = 12
LIST = (17, 31, 256, 59)
BUTTON = (81, 103, 121, 25)
ITEM_HEIGHT = 13
FONT_FACE, FONT_HEIGHT = "Tahoma", -11
# The sizing rule's own constants, which do not scale with the display.
TEXT_MARGIN, MIN_LIST_WIDTH = 35, 255

WS_MAXIMIZEBOX = 0x00010000
WS_MINIMIZEBOX = 0x00020000
WS_THICKFRAME = 0x00040000
WS_SYSMENU = 0x00080000
WS_CAPTION = 0x00C00000

LONG_NAME = "Сборник программ для установки на новый компьютер, выпуск 2.iso"


def scale(value: int, dpi: int) -> int:
    """MulDiv(value, dpi, 96): rounded half away from zero."""
    quotient, remainder = divmod(abs(value) * dpi, 96)
    if 2 * remainder >= 96:
        quotient += 1
    return quotient if value >= 0 else -quotient


def longest(names) -> str:
    """The name the window is sized to: the first with the most UTF-16 units."""
    return max(names, key=lambda n: len(n.encode("utf-16-le")))


def bounds(rect) -> list[int]:
    left, top, right, bottom = rect
    return [left, top, right - left, bottom - top]


# --- Prefixes and TOLVEX -----------------------------------------------------


def make_prefix(name: str, arch: str, dpi: int) -> wineenv.Prefix:
    prefix = wineenv.Prefix(name, arch)
    settings = [
        # Wine then draws the window's caption and frame itself, as there is no
        # window manager to do it: the screenshots show the whole window.
        (r"HKCU\Software\Wine\X11 Driver", "Decorated", "REG_SZ", "N"),
    ]
    if dpi != 96:
        settings.append((r"HKCU\Control Panel\Desktop", "LogPixels", "REG_DWORD", str(dpi)))
    for key, value, kind, data in settings:
        result = prefix.run(["reg", "add", key, "/v", value, "/t", kind, "/d", data, "/f"])
        assert result.returncode == 0, result
    # Programs read the density when they start, the prefix's background
    # processes included: begin again with every one of them reading the new one.
    prefix.kill()
    subprocess.run(["wineserver", "-p"], env=prefix.env(), check=True)
    # Started on /dev/null, as the prefix first started them, or they would
    # hold open the output of whichever program started them (an inspector's
    # report, read to its end).
    subprocess.run(["wine", "cmd.exe", "/c", "exit"], env=prefix.env(), check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=120)
    return prefix


def start_tolvex(prefix: wineenv.Prefix, tolvex_exe: pathlib.Path, folder: pathlib.Path):
    shutil.copy(tolvex_exe, folder / "TOLVEX.exe")
    return prefix.popen([prefix.win_path(folder / "TOLVEX.exe")], cwd=folder)


def place(folder: pathlib.Path, tree) -> None:
    """Files (small stand-ins for images: only their names matter here) and,
    for names ending in '/', folders."""
    for name in tree:
        path = folder / name
        if name.endswith("/"):
            path.mkdir(parents=True, exist_ok=True)
        else:
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(b"stand-in for an ISO image")


def screenshot(window: dict, name: str) -> None:
    SCREENSHOTS.mkdir(parents=True, exist_ok=True)
    left, top, width, height = bounds(window["rect"])
    whole = SCREENSHOTS / f".{name}.root.png"
    subprocess.run(["import", "-window", "root", str(whole)], check=True)
    subprocess.run(["convert", str(whole), "-crop", f"{width}x{height}+{left}+{top}", "+repage",
                    str(SCREENSHOTS / name)], check=True)
    whole.unlink()


# --- The window --------------------------------------------------------------


@dataclasses.dataclass(frozen=True)
class WindowCase:
    id: str
    names: tuple[str, ...]
    dpi: int = 96
    arch: str = "win64"
    screenshot: str | None = None


WINDOW_CASES = [
    # Short names: the list keeps its minimum width.
    WindowCase("two-images-96", ("b.iso", "a.iso"), screenshot="window-96.png"),
    WindowCase("two-images-144", ("b.iso", "a.iso"), dpi=144, screenshot="window-144.png"),
    # A long name widens the list and the window.  The other names are ones
    # whose order, as the file system lists them, differs from any sorting
    # TOLVEX could do by itself (by case, by code): the list must keep it.
    WindowCase("long-name-96", ("b.iso", "C.iso", "_a.iso", "m.ISO", LONG_NAME),
               screenshot="window-long-name-96.png"),
    WindowCase("long-name-144", ("b.iso", "C.iso", "_a.iso", "m.ISO", LONG_NAME), dpi=144,
               screenshot="window-long-name-144.png"),
    WindowCase("two-images-win32", ("b.iso", "a.iso"), arch="win32"),
]


@dataclasses.dataclass
class Shown:
    case: WindowCase
    inspector: Inspector
    window: dict  # as the inspector reports it
    listed: list[str]  # the images as the file system lists them


# One TOLVEX per case serves all the tests of the window: they only look.
@pytest.fixture(scope="module", params=WINDOW_CASES, ids=lambda case: case.id)
def shown(request, display, tolvex_exe, inspector_exe):
    """TOLVEX showing its window for the case's images."""
    case = request.param
    prefix = make_prefix(f"e2e-window-{case.id}", case.arch, case.dpi)
    try:
        folder = prefix.drive_c / "images"
        folder.mkdir()
        # Beside the images, what TOLVEX must leave out of its list.
        place(folder, [*case.names, "readme.txt", "old.iso.bak", "folder.iso/"])
        inspector = Inspector(prefix, inspector_exe)
        process = start_tolvex(prefix, tolvex_exe, folder)
        window = inspector.wait_for(FORM_CLASS, process=process)
        yield Shown(case, inspector, window, inspector.files(prefix.win_path(folder / "*.iso")))
        # Taken last, when the window has long been drawn.
        if case.screenshot:
            screenshot(window, case.screenshot)
    finally:
        prefix.remove()


def test_window_lists_the_images_in_the_order_the_folder_gives(shown):
    window = shown.window
    assert window["title"] == "Zarvent"
    list_box = child(window, "ListBox")
    assert sorted(shown.listed) == sorted(shown.case.names)
    assert list_box["items"] == shown.listed
    assert list_box["selected"] == 0
    assert child(window, "Static")["text"] == "Выберите ISO-образ:"
    assert child(window, "Button")["text"] == "Далее"
    assert all(c["visible"] and c["enabled"] for c in window["children"])


def test_window_is_sized_to_the_longest_name(shown):
    case, window = shown.case, shown.window
    dpi = case.dpi
    label, list_box, button = (child(window, c) for c in ("Static", "ListBox", "Button"))
    assert window["dpi"] == dpi
    for control in (label, list_box, button):
        assert (control["font"]["face"], control["font"]["height"]) == (
            FONT_FACE, scale(FONT_HEIGHT, dpi)), control["class"]

    # Measured as TOLVEX measures: in the font its controls draw with.
    (text_width, _), label_size = shown.inspector.measure(
        list_box["hwnd"], [longest(case.names), label["text"]])
    list_width = max(text_width + TEXT_MARGIN, MIN_LIST_WIDTH)
    form_width = list_width + 3 * scale(LIST[0], dpi)
    middle = form_width // 2
    button_width = scale(BUTTON[2], dpi)
    expected = {
        "form width": form_width,
        "client height": scale(CLIENT_HEIGHT, dpi),
        "label": [middle - label_size[0] // 2, scale(LABEL_TOP, dpi), *label_size],
        "list": [middle - list_width // 2 - list_width // 55, scale(LIST[1], dpi), list_width,
                 scale(LIST[3], dpi)],
        "list item height": scale(ITEM_HEIGHT, dpi),
        "button": [middle - button_width // 2, scale(BUTTON[1], dpi), button_width,
                   scale(BUTTON[3], dpi)],
    }
    actual = {
        "form width": bounds(window["rect"])[2],
        "client height": window["client"][1],
        "label": bounds(label["rect"]),
        "list": bounds(list_box["rect"]),
        "list item height": list_box["item_height"],
        "button": bounds(button["rect"]),
    }
    assert actual == expected


def test_window_is_a_fixed_size_window_centred_in_the_work_area(shown):
    window = shown.window
    style = window["style"]
    assert style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX) == (
        WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
    assert not style & WS_THICKFRAME
    left, top, width, height = bounds(window["rect"])
    work_left, work_top, work_width, work_height = bounds(window["work"])
    assert (left, top) == (work_left + (work_width - width) // 2,
                           work_top + (work_height - height) // 2)


# --- No image ----------------------------------------------------------------


def temp_listing(prefix: wineenv.Prefix) -> tuple[pathlib.Path, list[str]]:
    temp = prefix.unix_path(prefix.run(["cmd", "/c", "echo %TEMP%"], text=True).stdout.strip())
    assert temp.is_dir(), temp
    return temp, sorted(str(p.relative_to(temp)) for p in temp.rglob("*"))


NO_IMAGE_CASES = {
    "image-in-a-sub-folder": ["images/a.iso"],
    "folder-and-files-named-like-images": ["folder.iso/", "readme.txt", "old.iso.bak"],
}


@pytest.mark.parametrize("case", NO_IMAGE_CASES)
def test_no_image_says_so_and_leaves_nothing_behind(case, display, tolvex_exe, inspector_exe):
    with make_prefix(f"e2e-window-no-image-{case}", "win64", 96) as prefix:
        temp, before = temp_listing(prefix)
        folder = prefix.drive_c / "program"
        folder.mkdir()
        place(folder, NO_IMAGE_CASES[case])
        inspector = Inspector(prefix, inspector_exe)
        process = start_tolvex(prefix, tolvex_exe, folder)

        box = inspector.wait_for(MESSAGE_BOX_CLASS, process=process)
        assert box["title"] == "Tolvex"
        texts = [c for c in box["children"] if c["class"] == "Static" and "icon" not in c]
        assert [t["text"] for t in texts] == ["Не найдены ISO-образы в папке с программой!"]
        assert not any(c.get("icon") for c in box["children"]), "the box shows an icon"
        buttons = [c for c in box["children"] if c["class"] == "Button" and c["visible"]]
        assert [b["text"] for b in buttons] == ["OK"]
        assert not inspector.find(FORM_CLASS), "the window is shown with no image to list"
        screenshot(box, f"no-images-{case}.png")

        inspector.press_ok(box["hwnd"])
        assert process.wait(timeout=30) == 0
        assert temp_listing(prefix) == (temp, before)
        assert not (temp / "KORVEL").exists()

"""Fixtures for the component tests: built files, a display, fresh prefixes."""

import os
import pathlib
import re
import shutil
import sys

import pytest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1]))

from lib import wineenv  # noqa: E402

PAYLOAD_FILES = ("zDrvInst.exe", "imdisk.cpl", "imdisk.exe", "imdisk.sys")


@pytest.fixture(scope="session")
def components():
    """The build folders by payload arch ("x86", "x64"); fails when unbuilt."""
    missing = wineenv.missing_components()
    if missing:
        pytest.fail("the components are not built; missing:\n  " + "\n  ".join(missing) +
                    "\nbuild them (cmake --build --preset windows), or point "
                    "TOLVEX_COMPONENTS_ROOT at a folder holding components-x86/ and "
                    "components-x64/", pytrace=False)
    return {arch: wineenv.components_dir(arch) for arch in ("x86", "x64")}


@pytest.fixture(scope="session", autouse=True)
def display():
    """Every prefix gets a display: Wine's desktop starts with the prefix."""
    with wineenv.display_session() as screen:
        yield screen


def prefix_name(request, arch: str) -> str:
    # Unique per test and per run, so parallel runs never share a prefix.
    node = re.sub(r"[^A-Za-z0-9_.-]+", "-", request.node.name).strip("-")
    return f"components-{node}-{arch}-{os.getpid()}"


@pytest.fixture
def new_prefix(request):
    """new_prefix(arch): a fresh prefix, removed after the test."""
    made = []

    def make(arch: str) -> wineenv.Prefix:
        prefix = wineenv.Prefix(prefix_name(request, arch), arch)
        made.append(prefix)
        return prefix

    yield make
    for prefix in made:
        prefix.remove()


def install_payload(prefix: wineenv.Prefix, components, folder: str) -> pathlib.Path:
    """Lays out the payload as TOLVEX does: both scripts, and x86\\ and x64\\
    with the four files each, in the Windows folder `folder`."""
    work = prefix.unix_path(folder)
    for script in ("install.cmd", "uninstall.cmd"):
        work.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(wineenv.repo_root() / "payload" / script, work / script)
    for arch in ("x86", "x64"):
        (work / arch).mkdir(exist_ok=True)
        for name in PAYLOAD_FILES:
            shutil.copyfile(components[arch] / name, work / arch / name)
    return work

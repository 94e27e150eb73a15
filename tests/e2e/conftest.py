"""What every end-to-end suite shares: the repository's test library on
sys.path, one X display for the session, and the built programs under test."""

from __future__ import annotations

import os
import pathlib
import sys

import pytest

TESTS = pathlib.Path(__file__).resolve().parents[1]
if str(TESTS) not in sys.path:
    sys.path.insert(0, str(TESTS))

from lib import wineenv  # noqa: E402


@pytest.fixture(scope="session")
def display():
    """An X display, set in os.environ for the whole session.

    A prefix's first program starts the prefix's desktop process, which keeps
    the environment it started with: started without DISPLAY, it leaves the
    prefix with no desktop that later programs' windows appear on (the
    inspector then finds none).  So DISPLAY is set before any prefix is made.
    """
    with wineenv.display_session() as screen:
        yield screen


def _built(env_name: str, default: pathlib.Path, what: str) -> pathlib.Path:
    path = pathlib.Path(os.environ.get(env_name) or default)
    if not path.is_file():
        pytest.fail(f"{what} is not built: no {path} (run `make windows`, or set {env_name})",
                    pytrace=False)
    return path


@pytest.fixture(scope="session")
def tolvex_exe() -> pathlib.Path:
    return _built("TOLVEX_EXE", wineenv.build_dir() / "windows" / "TOLVEX.exe", "TOLVEX.exe")


@pytest.fixture(scope="session")
def inspector_exe(tolvex_exe) -> pathlib.Path:
    """The inspector the same build made (it lies in that build's tree), or
    TOLVEX_INSPECTOR."""
    exe = _built("TOLVEX_INSPECTOR",
                 tolvex_exe.parent / "tests" / "e2e" / "inspector" / "inspector.exe",
                 "The inspector")
    if not (exe.parent / "inspector_hook.dll").is_file():
        pytest.fail(f"inspector_hook.dll is missing beside {exe}", pytrace=False)
    return exe


@pytest.fixture
def inspector(launcher, inspector_exe):
    """The inspector in the prefix of the module's `launcher`."""
    import scenario

    return scenario.Inspector(launcher.prefix, inspector_exe)

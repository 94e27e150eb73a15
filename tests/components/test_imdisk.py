"""imdisk.exe with imdisk.cpl: attaching ISO images made by xorriso, refusing
what it must, and the forced detach."""

import os
import random
import shutil
import time

import pytest

from lib import calllog, wineenv

TOOLS = r"C:\tools"
IMAGES = r"C:\images"
KEPT = r"C:\ProgramData\ImDiskImages"  # where attached images' files live

TREE = {
    "KORVEL/Vimbrel.exe": b"MZ" + bytes(range(256)) * 40,
    "KORVEL/Данные/Уровень 2/глубже/файл.txt": "Привет из образа\r\n".encode(),
    "readme.txt": b"top level\r\n",
    "Mixed Case Name.Txt": b"case kept\r\n",
    "empty/": b"",
    "a/b/c/d/e/f/g/h/deep.bin": b"\x00\xff" * 3000,
    # More than one copy chunk, and not a whole number of sectors.
    "big.bin": random.Random(1).randbytes(2_500_001),
}


class Disk:
    """A prefix with one build of the control program and a running driver."""

    def __init__(self, prefix, components, arch):
        self.prefix = prefix
        self.arch = arch
        tools = prefix.unix_path(TOOLS)
        tools.mkdir()
        for name in ("zDrvInst.exe", "imdisk.exe", "imdisk.cpl", "imdisk.sys"):
            shutil.copyfile(components[arch] / name, tools / name)
        self.vimbrel = (components[arch] / "Vimbrel.exe").read_bytes()
        prefix.unix_path(IMAGES).mkdir()
        self.used = set()
        self.occupied = set()
        for args in ([rf"{TOOLS}\imdisk.sys", "/install"], ["/start"]):
            assert self.zdrvinst(*args).returncode == 0

    def imdisk(self, *args, env_extra=None, cwd=None):
        if "-m" in args:
            self.used.add(args[args.index("-m") + 1][0])
        return self.prefix.run([rf"{TOOLS}\imdisk.exe", *args], text=True, env_extra=env_extra,
                               cwd=cwd)

    def zdrvinst(self, *args):
        return self.prefix.run([rf"{TOOLS}\zDrvInst.exe", "ImDisk", *args], text=True)

    def image(self, name, tree=TREE) -> str:
        wineenv.make_iso(self.prefix.unix_path(rf"{IMAGES}\{name}"), tree)
        return rf"{IMAGES}\{name}"

    def occupy(self, letter):
        target = self.prefix.drive_c / f"occupied-{letter}"
        target.mkdir(exist_ok=True)
        self.prefix.occupy(letter, target)
        self.occupied.add(letter)
        return target

    def kept(self, letter):
        return self.prefix.unix_path(rf"{KEPT}\{letter}")

    def exists(self, path) -> bool:
        """Whether a Windows program finds `path`."""
        result = self.prefix.run(["cmd.exe", "/c", f'if exist "{path}" (echo yes) else (echo no)'],
                                 text=True)
        return result.stdout.strip() == "yes"

    def clean(self):
        for letter in self.used - self.occupied:
            self.imdisk("-D", "-m", f"{letter}:")
        for letter in self.occupied:
            self.prefix.free(letter)
        self.used.clear()
        self.occupied.clear()


@pytest.fixture(scope="module", params=[
    pytest.param(("win64", "x64"), id="win64-x64"),
    pytest.param(("win64", "x86"), id="win64-x86"),  # under WOW64: same mount manager calls
    pytest.param(("win32", "x86"), id="win32-x86"),
])
def disk(request, components):
    arch, build = request.param
    with wineenv.Prefix(f"components-imdisk-{arch}-{build}-{os.getpid()}", arch) as prefix:
        yield Disk(prefix, components, build)


@pytest.fixture(autouse=True)
def clean_letters(disk):
    yield
    disk.clean()


def windows_paths(tree, root):
    """Every file and folder of `tree` as `dir /s /b` names them."""
    paths = set()
    for name in tree:
        parts = [p for p in name.split("/") if p]
        for depth in range(1, len(parts) + 1):
            paths.add(root + "\\".join(parts[:depth]))
    return paths


def test_attach_shows_the_files_and_detach_takes_them(disk):
    image = disk.image("full.iso")

    attached = disk.imdisk("-a", "-f", image, "-m", "F:")

    assert attached.returncode == 0, attached.stderr
    for name, data in TREE.items():
        if not name.endswith("/"):
            assert disk.prefix.unix_path("F:\\" + name.replace("/", "\\")).read_bytes() == data
    listing = disk.prefix.run(["cmd.exe", "/u", "/c", "dir /s /b /a F:\\"])
    assert set(listing.stdout.decode("utf-16-le").split("\r\n")) - {""} == windows_paths(TREE, "F:\\")
    text = r"F:\KORVEL\Данные\Уровень 2\глубже\файл.txt"
    assert disk.prefix.run(["cmd.exe", "/c", "type", text]).stdout == TREE[text[3:].replace("\\", "/")]

    detached = disk.imdisk("-D", "-m", "F:")

    assert detached.returncode == 0, detached.stderr
    assert disk.prefix.letter_target("F") is None
    assert not disk.exists(r"F:\readme.txt")
    assert not disk.kept("F").exists()
    # Nothing of the drive may stay behind: the next session wants the letter.
    assert disk.imdisk("-a", "-f", image, "-m", "F:").returncode == 0


def cut_short(disk):
    path = disk.prefix.unix_path(disk.image("cut.iso", {"data.bin": bytes(1_000_000)}))
    path.write_bytes(path.read_bytes()[:300_000])
    return "cut.iso"


def name_leaving_the_tree(disk):
    # Joliet names are UTF-16BE: turn "zzzzzz.txt" into "..\zzz.txt".
    path = disk.prefix.unix_path(disk.image("escape.iso", {"zzzzzz.txt": b"x"}))
    data = path.read_bytes()
    name = "zzzzzz.txt".encode("utf-16-be")
    assert data.count(name) == 1
    path.write_bytes(data.replace(name, "..\\zzz.txt".encode("utf-16-be")))
    return "escape.iso"


def raw_file(name, data):
    def make(disk):
        disk.prefix.unix_path(rf"{IMAGES}\{name}").write_bytes(data)
        return name
    return make


@pytest.mark.parametrize("make_image, letter", [
    pytest.param(lambda disk: "full.iso", "F:", id="letter-in-use"),
    pytest.param(lambda disk: "missing.iso", "F:", id="missing-image"),
    pytest.param(raw_file("noise.iso", random.Random(2).randbytes(65536)), "F:", id="not-an-image"),
    pytest.param(raw_file("empty.iso", b""), "F:", id="empty-file"),
    pytest.param(cut_short, "F:", id="image-cut-short"),
    pytest.param(name_leaving_the_tree, "F:", id="name-leaving-the-tree"),
    pytest.param(lambda disk: "full.iso", "1:", id="not-a-letter"),
])
def test_attach_refuses_with_create_failed(request, disk, make_image, letter):
    disk.image("full.iso")
    occupied = disk.occupy("F") if "in-use" in request.node.callspec.id else None
    image = rf"{IMAGES}\{make_image(disk)}"

    result = disk.imdisk("-a", "-f", image, "-m", letter)

    assert result.returncode == 3
    assert result.stderr
    assert disk.prefix.letter_target("F") == occupied
    assert not disk.kept("F").exists()
    assert not (disk.kept("F").parent / "zzz.txt").exists()


@pytest.mark.parametrize("args", [
    [],
    ["-a"],
    ["-a", "-m", "F:"],
    ["-a", "-f"],
    ["-D"],
    ["-D", "-m", "F:", "-f", "x.iso"],
    ["-a", "-D", "-m", "F:"],
    ["-a", "-f", "x.iso", "-m", "FF"],
    ["-x"],
])
def test_bad_usage_is_refused(disk, args):
    result = disk.imdisk(*args)

    assert result.returncode == 87
    assert "usage" in result.stderr


@pytest.mark.parametrize("leave_in", ["stopped", "uninstalled"])
def test_attach_needs_the_driver_running(disk, leave_in):
    image = disk.image("full.iso")
    assert disk.zdrvinst("/stop").returncode == 0
    if leave_in == "uninstalled":
        assert disk.zdrvinst("/uninstall").returncode == 0
    try:
        result = disk.imdisk("-a", "-f", image, "-m", "F:")
    finally:
        if leave_in == "uninstalled":
            disk.zdrvinst(rf"{TOOLS}\imdisk.sys", "/install")
        disk.zdrvinst("/start")

    assert result.returncode == 4
    assert disk.prefix.letter_target("F") is None


def run_from_the_image(disk):
    log = disk.prefix.drive_c / "vimbrel.log"
    log.unlink(missing_ok=True)
    holder = disk.prefix.popen([r"F:\KORVEL\Vimbrel.exe"], env_extra={
        "VIMBREL_SECONDS": 120, "VIMBREL_LOG": disk.prefix.win_path(log)})
    assert wineenv.wait_for(lambda: calllog.read(log)), "Vimbrel.exe did not start"
    return holder


def read_a_file(disk):
    holder = disk.prefix.popen(["cmd.exe", "/c", r"ping -n 120 127.0.0.1 >nul < F:\readme.txt"])
    time.sleep(2)
    return holder


@pytest.mark.parametrize("hold", [
    pytest.param(run_from_the_image, id="program-from-the-image-runs"),
    pytest.param(read_a_file, id="file-open-for-reading"),
])
def test_forced_detach_while_files_are_in_use(disk, hold):
    tree = dict(TREE, **{"KORVEL/Vimbrel.exe": disk.vimbrel})
    assert disk.imdisk("-a", "-f", disk.image("busy.iso", tree), "-m", "F:").returncode == 0
    holder = hold(disk)
    try:
        assert holder.poll() is None

        result = disk.imdisk("-D", "-m", "F:")

        assert result.returncode == 0, result.stderr
        assert holder.poll() is None, "the holder ended before the detach"
        assert disk.prefix.letter_target("F") is None
        assert not disk.exists(r"F:\readme.txt")
        assert not disk.kept("F").exists()
    finally:
        holder.kill()
        holder.wait()


@pytest.mark.parametrize("someone_elses", [False, True], ids=["free-letter", "someone-elses-letter"])
def test_detach_of_a_letter_without_our_image(disk, someone_elses):
    target = disk.occupy("R") if someone_elses else None

    result = disk.imdisk("-D", "-m", "R:")

    assert result.returncode == 1
    assert disk.prefix.letter_target("R") == target


def free_letters(prefix):
    return [c for c in "DEFGHIJKLMNOPQRSTUVWXYZ" if prefix.letter_target(c) is None]


@pytest.mark.parametrize("fill, code", [(False, 0), (True, 14)], ids=["one-free", "none-free"])
def test_attach_to_any_free_letter(disk, fill, code):
    image = disk.image("full.iso")
    free = free_letters(disk.prefix)
    if fill:
        for letter in free:
            disk.occupy(letter)

    result = disk.imdisk("-a", "-f", image, "-m", "#:")

    assert result.returncode == code, result.stderr
    if not fill:
        disk.used.add(free[0])
        assert result.stdout.startswith(f"{free[0]}:")
        assert disk.prefix.unix_path(rf"{free[0]}:\readme.txt").read_bytes() == TREE["readme.txt"]


def test_every_call_is_logged_as_received(disk):
    image = rf"{IMAGES}\with space\my image.iso"
    wineenv.make_iso(disk.prefix.unix_path(image), TREE)
    log = disk.prefix.drive_c / "imdisk.log"
    env = {"IMDISK_LOG": disk.prefix.win_path(log)}
    tools = disk.prefix.unix_path(TOOLS)

    for args in (["-a", "-f", image, "-m", "G:"], ["-D", "-m", "G:"], ["-x"]):
        disk.imdisk(*args, env_extra=env, cwd=tools)

    assert log.read_text(encoding="utf-8").splitlines() == [
        rf'args=-a -f "{image}" -m G:|cwd={TOOLS}',
        rf"args=-D -m G:|cwd={TOOLS}",
        rf"args=-x|cwd={TOOLS}",
    ]


def test_the_program_does_not_start_without_imdisk_cpl(disk):
    lonely = disk.prefix.drive_c / "lonely"
    lonely.mkdir(exist_ok=True)
    shutil.copyfile(disk.prefix.unix_path(rf"{TOOLS}\imdisk.exe"), lonely / "imdisk.exe")
    log = disk.prefix.drive_c / "lonely.log"

    result = disk.prefix.run([r"C:\lonely\imdisk.exe", "-a", "-f", disk.image("full.iso"),
                              "-m", "F:"], env_extra={"IMDISK_LOG": disk.prefix.win_path(log)})

    assert result.returncode != 0
    assert not log.exists()
    assert disk.prefix.letter_target("F") is None

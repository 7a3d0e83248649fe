"""End-to-end harness: runs the real Windows programs under Wine.

Where things come from
  BOOTSTRAP_ARCH     win64 (default: runs on every machine) or win32 (where the
                     machine runs 32-bit programs): the width of the programs,
                     of Wine's loader and of the prefix
  BOOTSTRAP_BIN      folder with bootstrapper.exe, stamp.exe, publish.exe,
                     watcher.exe and wintool.exe (default: build/<arch>/bin)
  E2E_DIR            work folder (default: build/e2e/<arch>): the prefix template
                     (template/, rebuilt when missing or made by another Wine or
                     recipe) and one run folder per scenario (runs/<session>/<test>/,
                     kept when the test failed or E2E_KEEP=1)
  E2E_TIMEOUT_SCALE  multiplies every deadline (default 1)
  E2E_WINEDEBUG      WINEDEBUG for the scenario's programs (default -all)

Fixtures (conftest.py)
  wine_session   once per session: a private Xvfb display and the prefix template
  scenario       once per test: a Scenario with its own prefix clone and wineserver;
                 every process it started is stopped by its id when the test ends
  silent_source  an http:// installation URL on 127.0.0.1 that accepts
                 connections and never answers (keeps a run in its download step)
  refusing_source  an http:// installation URL on 127.0.0.1 that refuses connections

Scenario (all paths of programs inside the prefix are Windows paths)
  set_windows_version(name)   before the first program starts: "nt40", "winxp",
                              "win7", ... (what `winecfg -v` accepts)
  stamp(settings=None, name="bootstrapper.exe", folder=r"C:\\e2e", source=None,
        unchecked=False) -> Program
                              bootstrapper.exe (or the program at source, a Unix path)
                              stamped by stamp.exe inside the prefix; settings are
                              merged over DEFAULT_SETTINGS; unchecked passes
                              --unchecked, for settings that stamp.exe refuses and
                              the scenario wants the program itself to meet
  start_bootstrapper(settings=None, args=(), name=..., unchecked=False) -> Process
                              stamp, then start
  start(program, *args) -> Process    program: a Program, a Windows path, the
                              name of a program in BOOTSTRAP_BIN ("wintool.exe") or
                              one of Wine's own ("reg", "cmd", "msiexec")
  run(program, *args, timeout=...) -> (exit code, stdout text)
  watch(track=(), answers=None, default=None) -> Watcher, started and ready.
                              answers: {"caption or text substring": "yes"|"no"|"ok"|
                              "cancel"|"none"|<button id>, ...}, first match wins;
                              default: button for the rest (OK, Yes, ... when None)
  window(cls) -> dict|None    state of the first top-level window of class cls now
  close_window(cls), post(cls, message, wparam=0, lparam=0) -> bool (window found)
  type_keys(cls, keys) -> bool  brings the window to the front and types one
                              character as real key strokes, "alt+?" holds Alt
  press(text, button) -> bool answers an open dialog whose caption or message
                              contains text (for boxes the watcher leaves open)
  atom(action, name) -> bool  "add" / "find" / "delete" a global atom
  windows_version() -> {"major":..,"minor":..,"build":..,"platform":..}
  reg_add(key, name, value, kind="REG_SZ")
  registry_views()            (64, 32) in a 64-bit prefix, (None,) in a 32-bit one:
                              what reg's /reg:NN may name
  screenshot(name) -> Path    PNG of the whole screen in the run folder
  grab(rect) -> bytes         raw RGB pixels of a screen rectangle [l, t, r, b]
  run_dir, prefix, env        the run folder, the prefix (its drive_c is C:), the
                              environment of every program started later (change
                              e.g. env["WINEDLLOVERRIDES"] before starting one)

Window state (from Scenario.window and Watcher): hwnd, pid, process, class,
caption, visible, enabled, style, exstyle, rect and client ([l, t, r, b] on the
screen), owner (0 for none), owner_visible, owner_class, owner_caption, and
children: [{id, class, text, style, visible, rect}]. A dialog adds text (the
message), buttons (ids) and icon (whether a message-box icon shows), and the
watcher adds answer (the button it pressed, -1 for none) and posted (whether
that click went out; it does before the box shows in the log, and is repeated
every second while the box stays, so stop a watcher only once the box's
program has ended).

Process: pid, wait(timeout) -> exit code (raises TimeoutError), running(),
stop(), output() -> stdout text. When a program that a Scenario started is
still running at wait()'s deadline, the scenario first writes what it is doing
into hang-NN-<program>.txt in the run folder (diagnostics, the path is named
in the TimeoutError): the top-level windows and visible dialogs of the prefix,
the program's Unix threads, and winedbg's backtrace of every thread of every
process in the prefix (gdb's, when winedbg cannot get the program's). Frames
of our stripped programs show as "in bootstrapper (+0x...)": relinking the
same objects without -s gives a map with the same addresses.
Watcher: events(), dialogs(), wait_dialog(text=, caption=, contains=, timeout=),
windows(cls) (logged states, None when gone), wait_window(cls, predicate,
timeout), saw_window(cls), last_window(cls), counts(cls). The watcher logs a
window's state each time it changes; the waits search the whole log unless
given since=watcher.mark() taken before the action they wait for.

poll(check, timeout, what) returns the first truthy result of check(), polling
until the deadline; tests never sleep for something they can observe.
windows_path(unix_path) gives the Z: path under which Windows programs see a file.
"""

from __future__ import annotations

import ctypes
import fcntl
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import threading
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "scripts" / "lib"))
from fixed_layout import fix_layout  # noqa: E402

# The width of every program a scenario runs. Wine's loaders are called by
# path: /usr/bin/wine picks the 32-bit one whenever wine32 is installed.
ARCH = os.environ.get("BOOTSTRAP_ARCH", "win64")
if ARCH not in ("win32", "win64"):
    raise RuntimeError(f"BOOTSTRAP_ARCH is win32 or win64, not {ARCH!r}")
WINE = "/usr/lib/wine/wine64" if ARCH == "win64" else "/usr/lib/wine/wine"
# The server the loaders start by themselves; it serves both widths.
WINESERVER = "/usr/lib/wine/wineserver"

# What the shipped string table holds; a scenario overrides what it needs.
DEFAULT_SETTINGS = {
    "windowClassName": "STOBRINDOWNLOADER",
    "loaderComponentCodes": "{4B6C9D8C-737F-5F9C-E940-16E917592AE1}",
    "installationUrl": "http://127.0.0.1:9/",
    "language": "1033",
    "privileges": "administrator",
    "productName": "Talvoro Plug-in for PowerPoint\u00ae",
    "productCode": "{58DE7ACE-695E-467E-BBD1-89985E2AB819}",
    "companyName": "Talvoro",
    "hostApplication": "PowerPoint",
    "windowTitle": "Talvoro Plug-in for PowerPoint\u00ae",
    "version": "2.2.015",
    "showProgressWindow": "true",
    "releaseDigest": "",
    "downloadRetries": "0",
    "copyright": "",
}

# Changing the template recipe (or Wine) makes every session rebuild it once.
TEMPLATE_RECIPE = "3"

WM_CLOSE = 0x0010

OUR_PROGRAMS = ("bootstrapper.exe", "stamp.exe", "publish.exe", "watcher.exe", "wintool.exe")


def wow64_program(name: str) -> Path | None:
    """The 32-bit build's program, where a 64-bit prefix can run it: this machine
    runs 32-bit programs and Wine's 32-bit loader is installed (Wine then runs
    32-bit programs in a 64-bit prefix as 64-bit Windows does). None elsewhere."""
    path = REPO / "build" / "win32" / "bin" / name
    if ARCH != "win64" or not path.is_file():
        return None
    try:
        ran = subprocess.run(["/usr/lib/wine/wine", "--version"], capture_output=True, timeout=30).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        ran = False
    return path if ran else None


def timeout_scale() -> float:
    return float(os.environ.get("E2E_TIMEOUT_SCALE", "1"))


def poll(check, timeout: float = 30.0, what: str = "condition", interval: float = 0.05):
    """Returns the first truthy value of check(); raises TimeoutError at the deadline."""
    deadline = time.monotonic() + timeout * timeout_scale()
    while True:
        result = check()
        if result:
            return result
        if time.monotonic() > deadline:
            raise TimeoutError(f"timed out after {timeout:g}s waiting for {what}")
        time.sleep(interval)


def windows_path(path: Path | str) -> str:
    """The Z: drive path Wine gives a Unix path."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def _set_subreaper():
    # Wine's helper processes outlive the program that started them; with this
    # they become our children and can be reaped instead of piling up as zombies.
    try:
        libc = ctypes.CDLL(None, use_errno=True)
        libc.prctl(36, 1, 0, 0, 0)  # PR_SET_CHILD_SUBREAPER
    except (OSError, AttributeError):
        pass


def _reap_orphans(keep: set[int]):
    """Reaps Wine's orphaned helpers; other children belong to someone's Popen."""
    me = os.getpid()
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit() or int(entry.name) in keep:
            continue
        try:
            stat = (entry / "stat").read_text()
        except OSError:
            continue
        name = stat[stat.find("(") + 1:stat.rfind(")")]
        fields = stat[stat.rfind(")") + 2:].split()
        wine_helper = name.lower().endswith(".exe") or name.startswith("wine")
        if fields[0] == "Z" and int(fields[1]) == me and wine_helper:
            try:
                os.waitpid(int(entry.name), os.WNOHANG)
            except ChildProcessError:
                pass


class Process:
    """A process the harness started; stopped by its id at the end of the scenario."""

    def __init__(self, popen: subprocess.Popen, label: str, out_path: Path, diagnose=None):
        self.popen = popen
        self.label = label
        self.out_path = out_path
        self._diagnose = diagnose  # diagnose(process) -> Path | None, run once at a missed deadline
        self.diagnostics: Path | None = None

    @property
    def pid(self) -> int:
        return self.popen.pid

    def running(self) -> bool:
        return self.popen.poll() is None

    def wait(self, timeout: float = 30.0) -> int:
        try:
            return self.popen.wait(timeout * timeout_scale())
        except subprocess.TimeoutExpired:
            pass
        # Looked at while it still hangs: stopping it later would lose what it waits for.
        if self._diagnose is not None and self.diagnostics is None and self.running():
            self.diagnostics = self._diagnose(self)
        note = f" (diagnostics: {self.diagnostics})" if self.diagnostics else ""
        raise TimeoutError(f"{self.label} still running after {timeout:g}s{note}")

    def stop(self):
        if self.popen.poll() is None:
            try:
                os.kill(self.popen.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        self.popen.wait()

    def output(self) -> str:
        try:
            return self.out_path.read_text(encoding="utf-8", errors="replace")
        except OSError:
            return ""


class Program:
    """A program inside the prefix: its Windows path and its Unix path."""

    def __init__(self, windows: str, unix: Path):
        self.windows = windows
        self.unix = unix
        self.name = unix.name

    def __str__(self):
        return self.windows


class Watcher:
    """The watcher program's log, read back as it grows."""

    def __init__(self, process: Process, log: Path):
        self.process = process
        self.log = log
        self._events: list[dict] = []
        self._offset = 0
        self._partial = b""

    def events(self) -> list[dict]:
        if self.log.exists():
            with self.log.open("rb") as f:
                f.seek(self._offset)
                data = f.read()
            self._offset += len(data)
            lines = (self._partial + data).split(b"\n")
            self._partial = lines.pop()
            self._events.extend(json.loads(line) for line in lines if line.strip())
        return list(self._events)

    def mark(self) -> int:
        """A point in the log; the waits given it as since= look only at what came later."""
        return len(self.events())

    def dialogs(self, since: int = 0) -> list[dict]:
        return [dict(e["box"], answer=e["answer"], posted=e.get("posted", False))
                for e in self.events()[since:] if e["event"] == "dialog"]

    def wait_dialog(self, text=None, caption=None, contains=None, timeout: float = 30.0, since: int = 0) -> dict:
        def matches(box):
            return ((text is None or box["text"] == text)
                    and (caption is None or box["caption"] == caption)
                    and (contains is None or contains in box["text"] or contains in box["caption"]))

        def find():
            self._check_alive()
            return next((box for box in self.dialogs(since) if matches(box)), None)

        return poll(find, timeout, f"a dialog (text={text!r}, caption={caption!r}, contains={contains!r}); "
                                   f"seen: {[(b['caption'], b['text']) for b in self.dialogs()]}")

    def windows(self, cls: str, since: int = 0) -> list:
        """Every logged state of the first window of class cls, None while there was none."""
        return [e["state"] for e in self.events()[since:]
                if e["event"] == "window" and e["class"].lower() == cls.lower()]

    def counts(self, cls: str) -> list[int]:
        return [e["count"] for e in self.events()
                if e["event"] == "window" and e["class"].lower() == cls.lower()]

    def last_window(self, cls: str):
        states = self.windows(cls)
        return states[-1] if states else None

    def saw_window(self, cls: str) -> bool:
        return any(count > 0 for count in self.counts(cls))

    def wait_window(self, cls: str, predicate=lambda state: state is not None, timeout: float = 30.0,
                    since: int = 0):
        def find():
            self._check_alive()
            # Wrapped, as the awaited state may be None (the window is gone).
            return next(((state,) for state in self.windows(cls, since) if predicate(state)), None)

        return poll(find, timeout, f"a window of class {cls} in the expected state; "
                                   f"last seen: {self.last_window(cls)}")[0]

    def _check_alive(self):
        if not self.process.running():
            raise RuntimeError(f"the watcher ended (exit {self.process.popen.poll()}): {self.process.output()}")


class WineSession:
    """The session's display and prefix template."""

    def __init__(self):
        self.arch = ARCH
        self.bin_dir = Path(os.environ.get("BOOTSTRAP_BIN", REPO / "build" / ARCH / "bin")).resolve()
        self.work_dir = Path(os.environ.get("E2E_DIR", REPO / "build" / "e2e" / ARCH)).resolve()
        self.template = self.work_dir / "template"
        self.runs_dir = self.work_dir / "runs" / str(os.getpid())
        self.display = None
        self._xvfb = None

    def start(self):
        _set_subreaper()
        if not fix_layout():  # scripts/lib/wine-env.sh says why it matters
            print("e2e: the address-space layout could not be fixed; Wine may, rarely, fail to start a program",
                  file=sys.stderr)
        self._start_display()
        self._ensure_template()
        self._remove_stale_runs()
        self.runs_dir.mkdir(parents=True, exist_ok=True)

    def stop(self):
        if self._xvfb is not None:
            self._xvfb.terminate()
            try:
                self._xvfb.wait(10)
            except subprocess.TimeoutExpired:
                self._xvfb.kill()
                self._xvfb.wait()
            self._xvfb = None
        if self.runs_dir.exists() and not any(self.runs_dir.iterdir()):
            self.runs_dir.rmdir()

    def program(self, name: str) -> Path:
        path = self.bin_dir / name
        if not path.is_file():
            raise FileNotFoundError(f"{path} is missing: build the {ARCH} preset "
                                    f"(cmake --build --preset {ARCH}) or set BOOTSTRAP_BIN")
        return path

    def base_env(self, prefix: Path) -> dict:
        env = {k: v for k, v in os.environ.items() if not k.startswith("WINE")}
        env.update(WINEPREFIX=str(prefix), WINEARCH=ARCH, WINELOADER=WINE, WINESERVER=WINESERVER,
                   DISPLAY=self.display,
                   WINEDEBUG=os.environ.get("E2E_WINEDEBUG", "-all"),
                   WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        return env

    def _start_display(self):
        read_end, write_end = os.pipe()
        self._xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number

    def _template_id(self) -> str:
        version = subprocess.run([WINE, "--version"], capture_output=True, text=True).stdout.strip()
        return f"{version} {ARCH} recipe {TEMPLATE_RECIPE}\n"

    def _ensure_template(self):
        self.work_dir.mkdir(parents=True, exist_ok=True)
        stamp = self.work_dir / "template.id"
        wanted = self._template_id()
        with open(self.work_dir / "template.lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)  # other sessions may be making or cloning it right now
            if (self.template.is_dir() and stamp.exists() and stamp.read_text() == wanted
                    and self._template_untouched(stamp.stat().st_mtime)):
                return
            fresh = self.work_dir / f"template.new-{os.getpid()}"
            shutil.rmtree(fresh, ignore_errors=True)
            self._make_template(fresh)
            stamp.unlink(missing_ok=True)
            if self.template.exists():
                shutil.rmtree(self.template)
            fresh.rename(self.template)
            stamp.write_text(wanted)

    def _template_untouched(self, made: float) -> bool:
        # A clone shares the template's files through hard links: a program that
        # rewrote one in place changed the template too, and its time shows it.
        for folder, _, files in os.walk(self.template):
            for name in files:
                path = os.path.join(folder, name)
                if not os.path.islink(path) and os.stat(path).st_mtime > made + 1:
                    return False
        return True

    def clone_template(self, prefix: Path):
        with open(self.work_dir / "template.lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_SH)
            subprocess.run(["cp", "-al", f"{self.template}/.", str(prefix)], check=True)
            # Files Wine rewrites in place get real copies, so the template never changes.
            for reg in self.template.glob("*.reg"):
                target = prefix / reg.name
                target.unlink()
                shutil.copy2(reg, target)
            for ini in (self.template / "drive_c" / "windows").glob("*.ini"):
                target = prefix / "drive_c" / "windows" / ini.name
                target.unlink()
                shutil.copy2(ini, target)
            shutil.rmtree(prefix / "drive_c" / "users")
            shutil.copytree(self.template / "drive_c" / "users", prefix / "drive_c" / "users", symlinks=True)

    def _make_template(self, prefix: Path):
        env = self.base_env(prefix)
        env["WINEDLLOVERRIDES"] = "mscoree,mshtml="  # no .NET or Gecko install dialogs

        def run(*command):
            subprocess.run(command, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=300, check=True)

        run(WINE, "wineboot", "-i")
        # Unmanaged windows: with no window manager on the display Wine then
        # draws the caption itself, so screenshots show it.
        run(WINE, "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f")
        # A crash ends the program instead of opening the debugger's dialog.
        run(WINE, "reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog",
            "/t", "REG_DWORD", "/d", "0", "/f")
        run(WINESERVER, "-w")
        # Debian's Wine names the server's temporary folder in the prefix; each
        # clone must get its own.
        (prefix / "wineserver").unlink(missing_ok=True)

    def _remove_stale_runs(self):
        runs = self.work_dir / "runs"
        if not runs.is_dir():
            return
        for session in runs.iterdir():
            if session.name.isdigit() and not Path(f"/proc/{session.name}").exists():
                shutil.rmtree(session, ignore_errors=True)


class Scenario:
    """One test's prefix clone, wineserver and processes."""

    def __init__(self, session: WineSession, name: str):
        self.session = session
        self.run_dir = session.runs_dir / re.sub(r"[^A-Za-z0-9_.-]", "_", name)
        shutil.rmtree(self.run_dir, ignore_errors=True)
        self.run_dir.mkdir(parents=True)
        self.prefix = self.run_dir / "prefix"
        self.env = session.base_env(self.prefix)
        self.processes: list[Process] = []
        self._server = None
        self._counter = 0
        self._clone_template()

    # --- prefix -----------------------------------------------------------

    def _clone_template(self):
        self.prefix.mkdir()
        self.session.clone_template(self.prefix)

    def set_windows_version(self, name: str):
        """What `winecfg -v <name>` does, written before the prefix's server starts."""
        if self._server is not None:
            raise RuntimeError("set the Windows version before starting any program")
        user_reg = self.prefix / "user.reg"
        lines = user_reg.read_text(encoding="utf-8").split("\n")
        value = f'"Version"="{name}"'
        header = next((i for i, line in enumerate(lines) if line.startswith("[Software\\\\Wine] ")), None)
        if header is None:
            lines += ["", "[Software\\\\Wine] 0", value, ""]
        else:
            end = header + 1
            while end < len(lines) and lines[end].startswith("#"):
                end += 1
            lines = [line for i, line in enumerate(lines) if not (i > header and line.startswith('"Version"='))]
            lines.insert(end, value)
        user_reg.write_text("\n".join(lines), encoding="utf-8")

    # --- wineserver ---------------------------------------------------------

    def _server_socket(self) -> Path | None:
        tmp_name = self.prefix / "wineserver"
        st = self.prefix.stat()
        folder = f"server-{st.st_dev:x}-{st.st_ino:x}"
        if tmp_name.exists():
            base = Path(os.environ.get("TMPDIR", "/tmp")) / tmp_name.read_text().strip()
        else:
            base = Path(f"/tmp/.wine-{os.getuid()}")
        return base / folder / "socket"

    def _ensure_server(self):
        if self._server is not None:
            return
        self._server = subprocess.Popen([WINESERVER, "-f", "-p"], env=self.env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                        start_new_session=True)
        poll(lambda: self._server.poll() is not None or self._server_socket().exists(), 20, "the wineserver")
        if self._server.poll() is not None:
            raise RuntimeError("the scenario's wineserver did not start")
        # The first program starts the prefix's services; let that happen now.
        code, _ = self.run("wintool.exe", "exit", "0", timeout=60)
        if code != 0:
            raise RuntimeError(f"wintool.exe does not run in the scenario prefix (exit code {code})")

    def stop(self):
        """Stops every process of the scenario: ours by id, then the prefix's services."""
        for process in reversed(self.processes):
            process.stop()
        if self._server is not None:
            subprocess.run([WINESERVER, "-k"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
            try:
                self._server.wait(20)
            except subprocess.TimeoutExpired:
                self._server.kill()
                self._server.wait()
            socket_path = self._server_socket()
            if socket_path.parent.parent.name.startswith("wine-"):
                shutil.rmtree(socket_path.parent.parent, ignore_errors=True)
            self._server = None
        _reap_orphans({p.pid for p in self.processes})

    def remove(self):
        shutil.rmtree(self.run_dir, ignore_errors=True)

    # --- programs -----------------------------------------------------------

    def _command(self, program) -> list[str]:
        if isinstance(program, Program):
            return [WINE, program.windows]
        name = str(program)
        if "\\" in name or ":" in name:
            return [WINE, name]
        if name in OUR_PROGRAMS or (self.session.bin_dir / name).is_file():
            return [WINE, str(self.session.program(name))]
        return [WINE, name]  # one of Wine's own programs (reg, cmd, msiexec ...)

    def start(self, program, *args, label: str | None = None) -> Process:
        self._ensure_server()
        self._counter += 1
        label = label or f"{Path(str(program).replace(chr(92), '/')).name} {' '.join(map(str, args))}".strip()
        out_path = self.run_dir / f"{self._counter:02d}-{Path(str(program).replace(chr(92), '/')).stem}.out"
        with out_path.open("wb") as out:
            popen = subprocess.Popen(self._command(program) + [str(a) for a in args], env=self.env,
                                     stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                                     cwd=self.run_dir, start_new_session=True)
        process = Process(popen, label, out_path, diagnose=self.diagnose)
        self.processes.append(process)
        return process

    def run(self, program, *args, timeout: float = 60.0) -> tuple[int, str]:
        process = self.start(program, *args)
        code = process.wait(timeout)
        return code, process.output()

    def stamp(self, settings: dict | None = None, name: str = "bootstrapper.exe",
              folder: str = r"C:\e2e", source: Path | None = None, unchecked: bool = False) -> Program:
        values = dict(DEFAULT_SETTINGS, **(settings or {}))
        if any("\n" in str(value) for value in values.values()):
            raise ValueError("a setting is one line of text")
        self._counter += 1
        settings_file = self.run_dir / f"settings-{self._counter:02d}.txt"
        settings_file.write_text("".join(f"{k}={v}\n" for k, v in values.items()), encoding="utf-8")
        if not folder.upper().startswith("C:\\"):
            raise ValueError("the stamped program goes to a folder on C:")
        unix_folder = self.prefix / "drive_c" / folder[3:].replace("\\", "/")
        unix_folder.mkdir(parents=True, exist_ok=True)
        target = folder.rstrip("\\") + "\\" + name
        source = source or self.session.program("bootstrapper.exe")
        flags = ["--unchecked"] if unchecked else []
        code, output = self.run("stamp.exe", *flags, windows_path(source), windows_path(settings_file), target)
        if code != 0:
            raise RuntimeError(f"stamp.exe failed ({code}): {output}")
        return Program(target, unix_folder / name)

    def start_bootstrapper(self, settings: dict | None = None, args=(), name: str = "bootstrapper.exe",
                           unchecked: bool = False) -> Process:
        return self.start(self.stamp(settings, name, unchecked=unchecked), *args)

    def watch(self, track=(), answers: dict | None = None, default=None, interval_ms: int = 50) -> Watcher:
        self._counter += 1
        log = self.run_dir / f"watcher-{self._counter:02d}.jsonl"
        args = ["watch", "--log", windows_path(log), "--interval", str(interval_ms)]
        for cls in track:
            args += ["--track", cls]
        for match, button in (answers or {}).items():
            args += ["--answer", f"{match}={button}"]
        if default is not None:
            args += ["--default", str(default)]
        watcher = Watcher(self.start("watcher.exe", *args), log)
        poll(lambda: watcher._check_alive() or any(e["event"] == "ready" for e in watcher.events()),
             60, "the watcher to start")
        return watcher

    # --- diagnostics -------------------------------------------------------------

    def diagnose(self, process: Process) -> Path | None:
        """Writes what a still-running program is doing into the run folder; the
        file's path, or None when it could not be written. Never raises: it runs
        on the way to a TimeoutError. Its tools are plain subprocesses with a
        deadline, so a wedged prefix cannot make it hang or recurse."""
        try:
            path = self.run_dir / f"hang-{process.out_path.stem}.txt"
            with path.open("w", encoding="utf-8") as report:
                report.write(f"{process.label}: Unix pid {process.pid}, still running at "
                             f"{time.strftime('%H:%M:%S')}\n")
                watcher = str(self.session.bin_dir / "watcher.exe")
                self._diagnostic(report, "top-level windows (watcher windows)", [WINE, watcher, "windows"])
                self._diagnostic(report, "visible dialogs (watcher dialogs)", [WINE, watcher, "dialogs"])
                report.write(f"\n== Unix threads of pid {process.pid}\n{_unix_threads(process.pid)}")
                backtraces = self._diagnostic(report, "winedbg bt all", [WINE, "winedbg", "--command", "bt all"],
                                              timeout=90)
                image = _image_name(process.label)
                if f"\\{image}):".lower() not in backtraces.lower() and shutil.which("gdb") and process.running():
                    self._diagnostic(report, f"gdb backtraces of pid {process.pid} (Unix side)",
                                     ["gdb", "-p", str(process.pid), "-batch", "-ex", "thread apply all bt"])
            return path
        except Exception:  # best effort: the time-out is reported without it
            return None

    def _diagnostic(self, report, title: str, command: list[str], timeout: float = 60) -> str:
        """Runs one diagnostic tool, appends its output to the report and returns it."""
        try:
            result = subprocess.run(command, env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT, cwd=self.run_dir, timeout=timeout)
            text, status = result.stdout.decode("utf-8", "replace"), f"exit {result.returncode}"
        except subprocess.TimeoutExpired as expired:  # run() has stopped it by its id
            text = (expired.stdout or b"").decode("utf-8", "replace")
            status = f"no end within {timeout:g}s, stopped"
        except OSError as error:
            text, status = "", str(error)
        report.write(f"\n== {title} ({status})\n{text}")
        report.flush()
        return text

    # --- one-shot helpers ------------------------------------------------------

    def window(self, cls: str):
        code, output = self.run("watcher.exe", "window", cls)
        return json.loads(output) if code == 0 else None

    def post(self, cls: str, message: int, wparam: int = 0, lparam: int = 0) -> bool:
        code, _ = self.run("watcher.exe", "post", cls, str(message), str(wparam), str(lparam))
        return code == 0

    def close_window(self, cls: str) -> bool:
        return self.post(cls, WM_CLOSE)

    def type_keys(self, cls: str, keys: str) -> bool:
        code, _ = self.run("watcher.exe", "type", cls, keys)
        return code == 0

    def press(self, text: str, button) -> bool:
        code, _ = self.run("watcher.exe", "press", text, str(button))
        return code == 0

    def atom(self, action: str, name: str) -> bool:
        code, _ = self.run("wintool.exe", "atom", action, name)
        return code == 0

    def windows_version(self) -> dict:
        code, output = self.run("wintool.exe", "version")
        assert code == 0, output
        return json.loads(output)

    def registry_views(self) -> tuple:
        """The views a reg command can name here: 64 and 32 in a 64-bit prefix, only the one (None) in a 32-bit one."""
        return (64, 32) if ARCH == "win64" else (None,)

    def reg_add(self, key: str, name: str, value, kind: str = "REG_SZ"):
        code, output = self.run("reg", "add", key, "/v", name, "/t", kind, "/d", str(value), "/f")
        if code != 0:
            raise RuntimeError(f"reg add {key} {name} failed: {output}")

    def screenshot(self, name: str = "screen") -> Path:
        path = self.run_dir / f"{name}.png"
        subprocess.run(["import", "-display", self.session.display, "-window", "root", str(path)],
                       check=True, timeout=60, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    def grab(self, rect) -> bytes:
        left, top, right, bottom = rect
        geometry = f"{right - left}x{bottom - top}+{left}+{top}"
        return subprocess.run(["import", "-display", self.session.display, "-window", "root",
                               "-crop", geometry, "+repage", "-depth", "8", "rgb:-"],
                              check=True, timeout=60, capture_output=True).stdout


def _image_name(label: str) -> str:
    """The program file's name from a Process label ("reg" for Wine's reg gives reg.exe)."""
    name = label.split(" ")[0] if label else ""
    return name if name.lower().endswith(".exe") else name + ".exe"


def _unix_threads(pid: int) -> str:
    """One line per thread: id, name (Wine names its threads), state and kernel wait channel."""
    lines = []
    try:
        tasks = sorted(os.listdir(f"/proc/{pid}/task"), key=int)
    except OSError as error:
        return f"{error}\n"
    for tid in tasks:
        folder = f"/proc/{pid}/task/{tid}"
        try:
            with open(f"{folder}/stat") as f:
                stat = f.read()
            with open(f"{folder}/wchan") as f:
                wchan = f.read().strip()
        except OSError:
            continue  # ended meanwhile
        name = stat[stat.find("(") + 1:stat.rfind(")")]
        state = stat[stat.rfind(")") + 2:].split()[0]
        lines.append(f"{tid:>8} {name:<16} {state} {wchan}")
    return "\n".join(lines) + "\n"


class RefusingSource:
    """An http:// URL on 127.0.0.1 whose port refuses connections (bound, never listening)."""

    def __init__(self):
        self._socket = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._socket.bind(("127.0.0.1", 0))
        self.url = f"http://127.0.0.1:{self._socket.getsockname()[1]}/"

    def close(self):
        self._socket.close()


class SilentSource:
    """A TCP listener on 127.0.0.1 that accepts connections and never answers."""

    def __init__(self):
        self._listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._listener.bind(("127.0.0.1", 0))
        self._listener.listen(16)
        self._connections: list[socket.socket] = []
        self._thread = threading.Thread(target=self._accept, daemon=True)
        self._thread.start()
        self.url = f"http://127.0.0.1:{self._listener.getsockname()[1]}/"

    def _accept(self):
        while True:
            try:
                connection, _ = self._listener.accept()
            except OSError:
                return
            self._connections.append(connection)

    def close(self):
        # shutdown wakes the accepting thread; close alone may not.
        try:
            self._listener.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self._listener.close()
        self._thread.join(10)
        for connection in self._connections:
            connection.close()

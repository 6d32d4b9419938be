#!/usr/bin/env python3
"""End-to-end scenarios: real file managers drive Ferrymark on a private X display.

Run inside tests/run-x11.sh (Xvfb, openbox). Each scenario gets its own HOME, session
bus, tray host, file manager and Ferrymark, and ends every process it started.

    ferrymark_e2e.py --ferrymark PATH [--out DIR] [SCENARIO...]

Screenshots go to $FERRYMARK_E2E_OUT, else --out. Exit 77 when a program is missing.
"""

import argparse
import hashlib
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback
import urllib.parse
import uuid

SKIP = 77

# Names that quoting, URI escaping and encodings get wrong.
AWKWARD = {
    "space": "My Documents",
    "hash": "report #1.txt",
    "percent": "50% off.txt",
    "amp": "Tom & Jerry",
    "nonascii": "Überblick ñandú.md",
    "mixed": "naïve #2 & 100%",
}

# Offsets of the progress window's and the prompt's buttons from their bottom-right
# corner (resources/CutCopyWindow.ui and AlertWindow.ui with the default style).
PROGRESS_STOP = (59, 27)
PROGRESS_PAUSE = (147, 27)
# The window role of the list of what a transfer did not transfer.
REPORT_ROLE = "ferrymark-report"


class Failure(Exception):
    pass


class Skip(Exception):
    pass


def log(text):
    print(text, flush=True)


def run(args, timeout=30, env=None, check=True):
    try:
        result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                timeout=timeout, env=env)
    except subprocess.TimeoutExpired:
        raise Failure(f"{args[0]} did not finish within {timeout} s: {args}")
    if check and result.returncode != 0:
        raise Failure(f"{args} failed ({result.returncode}): "
                      f"{result.stderr.decode(errors='replace').strip()}")
    return result


def wait_for(condition, timeout, what, interval=0.1):
    """Polls condition until it returns something true; fails with `what` after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


# ---------------------------------------------------------------- files

def write_random(path, size, seed):
    with open(path, "wb") as f:
        f.write(random.Random(seed).randbytes(size))


def write_sprinkled(path, size, seed, every=64 << 20):
    """A large file of zeros with random blocks spread over it: quick to make, and a copy
    that shifts, drops or repeats data does not compare equal. Its blocks are allocated,
    not holes, so the copy reads and writes all of it as it would a real file's."""
    rng = random.Random(seed)
    with open(path, "wb") as f:
        os.posix_fallocate(f.fileno(), 0, size)
        for offset in list(range(0, size - 4096, every)) + [size - 4096]:
            f.seek(offset)
            f.write(rng.randbytes(4096))


def make_tree(folder, layout):
    """layout: name -> bytes size (file), dict (folder), or ("sparse", size)."""
    os.makedirs(folder, exist_ok=True)
    for i, (name, item) in enumerate(layout.items()):
        path = os.path.join(folder, name)
        seed = f"{path}:{i}"
        if isinstance(item, dict):
            make_tree(path, item)
        elif isinstance(item, tuple):
            write_sprinkled(path, item[1], seed)
        else:
            write_random(path, item, seed)


def file_digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        while True:
            block = f.read(8 << 20)
            if not block:
                return h.hexdigest()
            h.update(block)


def manifest(path):
    """Everything a copy must reproduce: kinds, permission bits, sizes and contents."""
    def entry(p):
        st = os.lstat(p)
        mode = st.st_mode & 0o7777
        if os.path.islink(p):
            return ("link", os.readlink(p))
        if os.path.isdir(p):
            return ("dir", mode)
        return ("file", mode, st.st_size, file_digest(p))

    result = {".": entry(path)}
    if os.path.isdir(path) and not os.path.islink(path):
        for parent, dirs, files in os.walk(path):
            for name in dirs + files:
                full = os.path.join(parent, name)
                result[os.path.relpath(full, path)] = entry(full)
    return result


def compare(expected, actual, what):
    if expected == actual:
        return
    lines = [f"{what} differs:"]
    for key in sorted(set(expected) | set(actual)):
        if expected.get(key) != actual.get(key):
            lines.append(f"  {key}: expected {expected.get(key)}, found {actual.get(key)}")
    raise Failure("\n".join(lines[:20]))


def listing(folder):
    return sorted(os.listdir(folder))


# ---------------------------------------------------------------- the desktop

# How each file manager opens a new window on a folder: its command, its window class and
# its title, with {} for the folder's name.
FILE_MANAGER_WINDOWS = {
    "nautilus": (["nautilus", "--new-window"], "org.gnome.Nautilus", "{}"),
    "nemo": (["nemo", "--no-desktop"], "Nemo", "{}"),
    "caja": (["caja", "--no-desktop"], "Caja", "{}"),
    "dolphin": (["dolphin", "--new-window"], "dolphin", "{} \u2014 Dolphin"),
    "pcmanfm-qt": (["pcmanfm-qt", "--new-window"], "pcmanfm-qt", "{}"),
}


class Window:
    def __init__(self, wid, wm_class, title, types, role=""):
        self.id = wid
        self.wm_class = wm_class
        self.title = title
        self.types = types
        self.role = role

    @property
    def is_dialog(self):
        return "_NET_WM_WINDOW_TYPE_DIALOG" in self.types

    def __repr__(self):
        return f"<{self.id:#x} {self.wm_class} {self.title!r}>"


class Desktop:
    """One scenario's session on the display that run-x11.sh started."""

    def __init__(self, name, ferrymark, out_dir):
        self.name = name
        self.ferrymark_path = ferrymark
        self.out_dir = out_dir
        self.root = tempfile.mkdtemp(prefix=f"ferrymark-e2e-{name}-")
        self.home = os.path.join(self.root, "home")
        self.data = os.path.join(self.root, "data")
        self.stderr_path = os.path.join(self.root, "ferrymark.stderr")
        self.tag = uuid.uuid4().hex
        self.processes = []  # (label, Popen), in start order
        self.ferrymark = None
        self.shots = 0
        self.started = time.monotonic()
        runtime = os.path.join(self.root, "runtime")
        for d in (self.home, self.data, runtime):
            os.makedirs(d)
        os.chmod(runtime, 0o700)

        env = {k: v for k, v in os.environ.items()
               if k not in ("DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER", "LC_ALL")}
        env.update({
            "HOME": self.home,
            "XDG_RUNTIME_DIR": runtime,
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "XDG_DATA_HOME": os.path.join(self.home, ".local/share"),
            "XDG_CACHE_HOME": os.path.join(self.home, ".cache"),
            "LANG": "C.UTF-8",
            # No accessibility bus and no settings daemon on this session.
            "NO_AT_BRIDGE": "1",
            "GTK_A11Y": "none",
            "GSETTINGS_BACKEND": "memory",
            "QT_QPA_PLATFORM": "xcb",
            # Marks every process of this scenario, also those the session bus starts.
            "FERRYMARK_E2E_TAG": self.tag,
        })
        self.env = env

    # -- processes

    def spawn(self, label, args, **kwargs):
        log_path = os.path.join(self.root, f"{label}.log")
        out = open(log_path, "ab")
        kwargs.setdefault("stdout", out)
        kwargs.setdefault("stderr", out)
        process = subprocess.Popen(args, env=self.env, stdin=subprocess.DEVNULL, **kwargs)
        out.close()
        self.processes.append((label, process))
        return process

    def step(self, text):
        log(f"  [{time.monotonic() - self.started:6.1f} s] {text}")

    def start_bus(self):
        # The bus gives its own environment to the services it starts (gvfsd, tracker,
        # xfconfd): they must share HOME and XDG_RUNTIME_DIR with the file managers.
        process = self.spawn("dbus", ["dbus-daemon", "--session", "--nofork",
                                      "--print-address=1"], stdout=subprocess.PIPE)
        address = process.stdout.readline().decode().strip()
        if not address:
            raise Failure("the session bus did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address

    def start_tray(self):
        self.spawn("trayer", ["trayer", "--edge", "top", "--align", "right",
                              "--widthtype", "pixel", "--width", "120", "--height", "24",
                              "--SetDockType", "true", "--expand", "false"])
        wait_for(lambda: re.search(r'"panel": \("panel" "trayer"\)', self.tree()), 30,
                 "the tray host's panel")

    def seed_settings(self):
        folder = os.path.join(self.home, ".config", "Ferrymark")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "Ferrymark.ini"), "w") as f:
            f.write("[General]\nlicenseAgreed=true\nhelpGuideLaunched=true\nstartItem=true\nfileManagerEntriesOffered=true\n")

    def start_ferrymark(self):
        self.seed_settings()
        with open(self.stderr_path, "ab") as err:
            self.ferrymark = self.spawn("ferrymark", [self.ferrymark_path], stderr=err)
        # The hot keys are grabbed right after the tray icon is shown.
        wait_for(self.tray_icon, 30, "Ferrymark's icon in the tray")
        self.step("Ferrymark is in the tray")

    def stop_process(self, process, grace=5):
        if process.poll() is not None:
            return
        try:
            os.kill(process.pid, signal.SIGTERM)
            process.wait(timeout=grace)
        except subprocess.TimeoutExpired:
            os.kill(process.pid, signal.SIGKILL)
            process.wait(timeout=10)
        except ProcessLookupError:
            pass

    def tagged_pids(self):
        own = os.getpid()
        marker = f"FERRYMARK_E2E_TAG={self.tag}".encode()
        found = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit() or int(entry) == own:
                continue
            try:
                with open(f"/proc/{entry}/environ", "rb") as f:
                    if marker in f.read().split(b"\0"):
                        found.append(int(entry))
            except OSError:
                pass
        return found

    def sweep(self, keep=()):
        """Ends what the session bus and the file managers started on their own."""
        for sig in (signal.SIGTERM, signal.SIGKILL):
            pids = [p for p in self.tagged_pids() if p not in keep and not zombie(p)]
            if not pids:
                return
            for pid in pids:
                try:
                    os.kill(pid, sig)
                except ProcessLookupError:
                    pass
            deadline = time.monotonic() + 5
            while time.monotonic() < deadline and any(
                    not zombie(p) and alive(p) for p in pids):
                time.sleep(0.1)

    def close(self):
        bus = [p for label, p in self.processes if label == "dbus"]
        for label, process in reversed(self.processes):
            if label != "dbus":
                self.stop_process(process)
        self.sweep(keep={p.pid for p in bus})
        for process in bus:
            self.stop_process(process)
        self.sweep()
        shutil.rmtree(self.root, ignore_errors=True)

    # -- Ferrymark's log

    def stderr(self):
        try:
            with open(self.stderr_path, "rb") as f:
                return f.read().decode(errors="replace")
        except OSError:
            return ""

    def count_log(self, text):
        return self.stderr().count(text)

    def wait_log(self, text, count=1, timeout=60):
        wait_for(lambda: self.count_log(text) >= count, timeout,
                 f"Ferrymark to log {text!r} ({count}x)")

    def assert_running(self):
        if self.ferrymark is not None and self.ferrymark.poll() is not None:
            raise Failure(f"Ferrymark exited with code {self.ferrymark.returncode}")

    # -- X

    def x(self, *args, timeout=20, check=True):
        return run(list(args), timeout=timeout, env=self.env, check=check)

    def tree(self):
        return self.x("xwininfo", "-root", "-tree").stdout.decode(errors="replace")

    def clients(self):
        out = self.x("xprop", "-root", "_NET_CLIENT_LIST", check=False).stdout.decode()
        return [int(w, 16) for w in re.findall(r"0x[0-9a-fA-F]+", out)]

    def window(self, wid):
        out = self.x("xprop", "-id", str(wid), "WM_CLASS", "_NET_WM_WINDOW_TYPE",
                     "WM_WINDOW_ROLE", check=False).stdout.decode(errors="replace")
        classes = re.findall(r'"([^"]*)"', out.split("\n")[0]) if "WM_CLASS" in out else []
        types = re.findall(r"_NET_WM_WINDOW_TYPE_\w+", out)
        role = re.search(r'WM_WINDOW_ROLE\(STRING\) = "([^"]*)"', out)
        title = self.x("xdotool", "getwindowname", str(wid),
                       check=False).stdout.decode(errors="replace").rstrip("\n")
        return Window(wid, classes[1] if len(classes) > 1 else "", title, types,
                      role.group(1) if role else "")

    def windows(self, wm_class=None):
        result = []
        for wid in self.clients():
            w = self.window(wid)
            if wm_class is None or w.wm_class.lower() == wm_class.lower():
                result.append(w)
        return result

    def active_window(self):
        out = self.x("xprop", "-root", "_NET_ACTIVE_WINDOW", check=False).stdout.decode()
        found = re.findall(r"0x[0-9a-fA-F]+", out)
        return int(found[0], 16) if found else 0

    def geometry(self, wid):
        out = self.x("xdotool", "getwindowgeometry", "--shell", str(wid)).stdout.decode()
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def activate(self, wid):
        def try_activate():
            try:
                self.x("xdotool", "windowactivate", "--sync", str(wid), timeout=5, check=False)
            except Failure:
                pass  # --sync waits for ever when the window manager says no
            return self.active_window() == wid
        wait_for(try_activate, 30, f"window {wid:#x} to become active", interval=0.5)

    def place(self, wid, x, y, width, height):
        self.x("xdotool", "windowsize", "--sync", str(wid), str(width), str(height),
               timeout=10, check=False)
        self.x("xdotool", "windowmove", "--sync", str(wid), str(x), str(y), timeout=10,
               check=False)

    def key(self, *keys):
        self.step("keys " + " ".join(keys))
        for k in keys:
            self.x("xdotool", "key", "--clearmodifiers", k)
            time.sleep(0.15)

    def click(self, wid, x, y):
        self.x("xdotool", "mousemove", "--window", str(wid), str(x), str(y), "click", "1")

    def click_from_corner(self, wid, offset):
        _, _, width, height = self.geometry(wid)
        self.click(wid, width - offset[0], height - offset[1])

    def screenshot(self, moment):
        self.step(f"screenshot {moment}")
        self.shots += 1
        os.makedirs(self.out_dir, exist_ok=True)
        path = os.path.join(self.out_dir, f"{self.name}-{self.shots:02d}-{moment}.png")
        self.x("import", "-window", "root", path, timeout=30, check=False)
        return path

    # -- Ferrymark's windows

    def ferrymark_windows(self):
        """Progress windows and prompts; not the lists of what a transfer left out."""
        return [w for w in self.windows("Ferrymark") if w.role != REPORT_ROLE]

    def report_windows(self):
        return [w for w in self.windows("Ferrymark") if w.role == REPORT_ROLE]

    def progress_window(self):
        return next((w for w in self.ferrymark_windows() if not w.is_dialog), None)

    def new_dialog(self, seen):
        return next((w for w in self.ferrymark_windows()
                     if w.is_dialog and w.id not in seen), None)

    def wait_dialog(self, seen, what, timeout=60):
        def found():
            self.assert_running()
            return self.new_dialog(seen)
        dialog = wait_for(found, timeout, what)
        self.step(f"prompt {dialog.id:#x}")
        seen.add(dialog.id)
        return dialog

    def wait_gone(self, wid, what, timeout=60):
        wait_for(lambda: wid not in self.clients(), timeout, what)

    def sync_with_ferrymark(self):
        """Ferrymark handles hot keys one after another: once it has answered a Paste with
        no file manager in front, every earlier command has been handled."""
        count = self.count_log("no file manager window is in front")
        self.spawn("xmessage", ["xmessage", "-title", "e2e-sync", "not a file manager"])
        other = wait_for(lambda: next((w for w in self.windows()
                                       if w.title == "e2e-sync"), None), 30, "xmessage")
        self.activate(other.id)
        self.key("super+alt+v")
        self.wait_log("no file manager window is in front", count + 1, timeout=30)
        self.x("xdotool", "windowclose", str(other.id), check=False)

    def tray_icon(self):
        """The icon is an embedded window in the tray host: not a managed client."""
        for m in re.finditer(r'^\s*(0x[0-9a-f]+) "[^"]*": \("[^"]*" "Ferrymark"\)\s+'
                             r'(\d+)x(\d+)', self.tree(), re.M):
            wid, width = int(m.group(1), 16), int(m.group(2))
            if width < 8:
                continue
            info = self.x("xwininfo", "-id", str(wid), check=False).stdout.decode()
            if "IsViewable" in info:
                return wid
        return None

    def tray_menu(self, entry_keys):
        """Opens the tray menu with a click on the icon and picks an entry by keys."""
        icon = self.tray_icon()
        if icon is None:
            raise Failure("Ferrymark's tray icon is not in the tray")
        _, _, width, height = self.geometry(icon)
        self.click(icon, width // 2, height // 2)
        # The open menu grabs the keyboard; a pick before it shows would go elsewhere.
        wait_for(self.popup_open, 10, "the tray menu to open")
        self.screenshot("tray-menu")
        self.key(*entry_keys)

    def popup_open(self, wm_class="Ferrymark"):
        # An open menu: a viewable override-redirect window of the program's window class.
        for m in re.finditer(r'^\s*(0x[0-9a-f]+) "[^"]*": \("[^"]*" "' + re.escape(wm_class) +
                             r'"\)\s+(\d+)x(\d+)\+(-?\d+)\+(-?\d+)', self.tree(), re.M):
            wid, width, height = int(m.group(1), 16), int(m.group(2)), int(m.group(3))
            if width > 100 and height > 60 and wid not in self.clients():
                info = self.x("xwininfo", "-id", str(wid), check=False).stdout.decode()
                if "IsViewable" in info and "Override Redirect State: yes" in info:
                    return True
        return False

    # -- the file managers

    def open_folder(self, manager, folder, slot):
        """Opens folder in a new window of the file manager and waits until it shows it."""
        folder = os.path.realpath(folder)
        before = set(self.clients())
        # A name that is not valid UTF-8 is shown as GLib shows it, and Nemo and Caja take
        # such a folder only as a URI.
        name = os.fsencode(os.path.basename(folder)).decode("utf-8", "replace")
        given = folder
        if name != os.path.basename(folder):
            name += " (invalid encoding)"
            given = "file://" + urllib.parse.quote(os.fsencode(folder))
        if manager == "thunar":
            args, wm_class = ["thunar", folder], "Thunar"
            # With its full-path title option on, or (entry scenarios) as it comes.
            title = f"{folder} - Thunar"
            if not os.path.exists(os.path.join(
                    self.home, ".config/xfce4/xfconf/xfce-perchannel-xml/thunar.xml")):
                title = f"{name} - Thunar"
        else:
            args, wm_class, title = FILE_MANAGER_WINDOWS[manager]
            args, title = args + [given], title.format(name)
        self.spawn(manager, args)

        def shown():
            for wid in set(self.clients()) - before:
                w = self.window(wid)
                if w.wm_class.lower() == wm_class.lower() and w.title == title:
                    return w
            return None
        try:
            window = wait_for(shown, 90, f"{manager} to show {folder!r}")
        except Failure:
            titles = [w.title for w in self.windows(wm_class)]
            raise Failure(f"{manager} did not show {title!r}; its windows: {titles}")
        # Side by side, so that a click lands in each view's empty part.
        self.place(window.id, 640 * slot, 40, 630, 560)
        self.step(f"{manager} shows {title!r}")
        return window

    def clipboard(self):
        """("copy" or "cut", paths) as the file manager put them on the clipboard."""
        out = self.x("xclip", "-selection", "clipboard", "-t", "x-special/gnome-copied-files",
                     "-o", timeout=10, check=False)
        lines = out.stdout.decode(errors="replace").splitlines() if out.returncode == 0 else []
        if not lines:
            # Dolphin offers a URI list only.
            out = self.x("xclip", "-selection", "clipboard", "-t", "text/uri-list", "-o",
                         timeout=10, check=False)
            if out.returncode != 0:
                return None
            lines = ["copy"] + out.stdout.decode(errors="replace").splitlines()
        return lines[0], [uri_to_path(u) for u in lines[1:] if u]

    def copy_all(self, window, expected_paths, spot=(3 / 4, 9 / 10)):
        """Ctrl+A and Ctrl+C in the file manager's view; waits until the clipboard has them.
        spot: where in the window (fractions of its size) the view is empty."""
        want = sorted(os.path.realpath(p) for p in expected_paths)
        _, _, width, height = self.geometry(window.id)
        # A window that has just shown its folder may not have listed it yet: Ctrl+A
        # then selects nothing, and Ctrl+C leaves the clipboard as it was. Try again, each
        # time more patiently: a loaded machine may take seconds over each key.
        for attempt in range(1, 9):
            self.activate(window.id)
            self.click(window.id, int(width * spot[0]), int(height * spot[1]))
            time.sleep(0.3 * attempt)
            self.key("ctrl+a")
            time.sleep(0.3 * attempt)
            self.key("ctrl+c")
            try:
                wait_for(lambda: (c := self.clipboard()) and c[0] == "copy"
                         and sorted(c[1]) == want, 2 * attempt,
                         "the copied files on the clipboard")
                self.step(f"copied {len(want)} items")
                return
            except Failure:
                continue
        raise Failure(f"the clipboard holds {self.clipboard()}, not {want}")


def zombie(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] == "Z"
    except OSError:
        return True


def alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except ProcessLookupError:
        return False


def uri_to_path(uri):
    parsed = urllib.parse.urlsplit(uri)
    return os.fsdecode(urllib.parse.unquote_to_bytes(parsed.path))


def size_of(path):
    try:
        return os.path.getsize(path)
    except OSError:
        return -1


# ---------------------------------------------------------------- scenarios

# Large enough that the transfer outlasts the progress window's one-second delay.
BIG = 3 << 30
# Never copied in full: the scenario pauses or stops it first.
HUGE = 16 << 30


def transfer_tree():
    return {
        AWKWARD["space"]: {
            AWKWARD["hash"]: 70_001,
            AWKWARD["percent"]: 1,
            "empty": 0,
            "deeper": {"x y": {"z.bin": 300_000}, "empty folder": {}},
        },
        AWKWARD["amp"]: {"a.txt": 12, AWKWARD["nonascii"]: 5000},
        AWKWARD["mixed"] + ".bin": ("sparse", BIG),
        AWKWARD["nonascii"]: 4096,
        "plain": 8 << 20,
    }


def paste_and_watch(d, dest_window, hot_key, nth=1):
    """Presses the hot key with dest_window in front; returns once the transfer ended,
    after checking that the progress window showed while it ran."""
    d.activate(dest_window.id)
    d.key(hot_key)
    try:
        d.wait_log("Begin copy to", nth, timeout=30)
    except Failure:
        raise Failure("the hot key started no transfer; Ferrymark said:\n" + d.stderr())
    progress = wait_for(lambda: d.progress_window() or d.count_log("End copy to") >= nth, 120,
                        "the progress window")
    if not isinstance(progress, Window):
        raise Failure("the transfer ended before its progress window showed")
    d.screenshot("progress")
    if d.count_log("End copy to") >= nth:
        raise Failure("the progress window showed only after the transfer")
    d.wait_log("End copy to", nth, timeout=300)
    d.wait_gone(progress.id, "the progress window to close")


def items_and_manifests(folder):
    """The items in folder, and what each holds, to check copies and sources against."""
    items = [os.path.join(folder, n) for n in listing(folder)]
    return items, {os.path.basename(p): manifest(p) for p in items}


def empty_folder(folder):
    for name in listing(folder):
        path = os.path.join(folder, name)
        shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)


def check_sources_kept(expected, items):
    """After a Paste the sources are as they were: a Move picked by mistake fails here."""
    for path in items:
        compare(expected[os.path.basename(path)], manifest(path), f"the source {path!r}")


def check_transfer(expected, source, dest, move):
    """The destination holds exactly the expected items, byte for byte; a move left none."""
    if listing(dest) != sorted(expected):
        raise Failure(f"the destination holds {listing(dest)}, not {sorted(expected)}")
    for name, want in expected.items():
        compare(want, manifest(os.path.join(dest, name)), f"the copy of {name!r}")
    if move and listing(source):
        raise Failure(f"the moved sources are still there: {listing(source)}")


def paste_scenario(d, manager, move):
    source = os.path.join(d.data, "Quelle #1 & co")
    dest = os.path.join(d.data, "Ziel 100% ä")
    make_tree(source, transfer_tree())
    os.makedirs(dest)
    items, expected = items_and_manifests(source)

    src_window = d.open_folder(manager, source, 0)
    d.copy_all(src_window, items)
    dest_window = d.open_folder(manager, dest, 1)
    paste_and_watch(d, dest_window, "super+alt+m" if move else "super+alt+v")
    d.screenshot("done")
    check_transfer(expected, source, dest, move)
    if not move:
        check_sources_kept(expected, items)


def scenario_paste_nautilus(d):
    """Copy in Nautilus, Paste hot key in another Nautilus window."""
    paste_scenario(d, "nautilus", move=False)


def scenario_move_nautilus(d):
    """Copy in Nautilus, Move hot key: sources gone, copies identical."""
    paste_scenario(d, "nautilus", move=True)


def scenario_paste_thunar(d):
    """Thunar with its full path in the window title."""
    channel = os.path.join(d.home, ".config/xfce4/xfconf/xfce-perchannel-xml")
    os.makedirs(channel)
    with open(os.path.join(channel, "thunar.xml"), "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<channel name="thunar" version="1.0">\n'
                # Thunar 4.18, and 4.20's title style; each ignores the other's.
                '  <property name="misc-full-path-in-window-title" type="bool" value="true"/>\n'
                '  <property name="misc-window-title-style" type="string"'
                ' value="THUNAR_WINDOW_TITLE_STYLE_FULL_PATH_WITH_THUNAR_SUFFIX"/>\n'
                '</channel>\n')
    paste_scenario(d, "thunar", move=False)


def write_entries(d):
    fm_entries = os.path.join(os.path.dirname(os.path.dirname(d.ferrymark_path)), "tools",
                              "fm-entries")
    out = run([fm_entries, "add", d.home, d.ferrymark_path, "--keys"], env=d.env)
    d.step("entries written: " + " ".join(out.stdout.decode().split()))


def entry_key_scenario(d, manager, move):
    """Ferrymark's entries written into the file manager before it starts; the copy made with
    its own Ctrl+C; the entry's key pressed in the destination window with nothing selected.
    The window title tells nothing here: the folder comes from the file manager itself."""
    write_entries(d)
    source = os.path.join(d.data, "Quelle #1 & co")
    dest = os.path.join(d.data, "Ziel 100% ä")
    make_tree(source, transfer_tree())
    os.makedirs(dest)
    items, expected = items_and_manifests(source)

    src_window = d.open_folder(manager, source, 0)
    d.copy_all(src_window, items)
    dest_window = d.open_folder(manager, dest, 1)
    _, _, width, height = d.geometry(dest_window.id)
    d.activate(dest_window.id)
    if manager == "thunar":
        # Its own context menu on the empty area: Create Folder..., Create Document, Paste,
        # then "Paste Here with Ferrymark", chosen with the arrow keys.
        d.x("xdotool", "mousemove", "--window", str(dest_window.id), str(width * 3 // 4),
            str(height * 3 // 4), "click", "3")
        time.sleep(1.0)
        d.screenshot("context-menu")
        d.key("Down", "Down", "Down", "Down")
        time.sleep(0.3)
        d.screenshot("context-menu-entry")
        d.key("Return")
        d.wait_log("End copy to", 1, timeout=300)
        d.step("the menu entry pasted")
        check_transfer(expected, source, dest, False)
        empty_folder(dest)
    d.click(dest_window.id, width * 3 // 4, height * 9 // 10)  # nothing selected
    time.sleep(0.3)
    paste_and_watch(d, dest_window, "ctrl+alt+m" if move else "ctrl+alt+v",
                    nth=2 if manager == "thunar" else 1)
    d.screenshot("done")
    check_transfer(expected, source, dest, move)


def scenario_entry_thunar(d):
    """Thunar's own action and key (uca.xml, accels.scm) paste with nothing selected."""
    entry_key_scenario(d, "thunar", move=False)


def scenario_entry_nautilus(d):
    """Nautilus's script key (scripts-accels) moves with nothing selected."""
    entry_key_scenario(d, "nautilus", move=True)


# How each file manager's background menu reaches Ferrymark's entries with the keyboard,
# once files are on the clipboard and the entries with their keys are written: GTK menus
# counted from the top (Nemo's Scripts submenu holds the scripts for its keys, Caja's the
# entries), Qt menus from the bottom, since their own Paste item comes and goes above.
MENU_KEYS = {
    "nemo": {"paste": ["Down"] * 5, "move": ["Down"] * 4},
    "caja": {"paste": ["Down"] * 3 + ["Right", "Down"], "move": ["Down"] * 3 + ["Right"]},
    "dolphin": {"paste": ["Up"] * 2, "move": ["Up"] * 3},
    "pcmanfm-qt": {"paste": ["Up"] * 2, "move": ["Up"] * 3},
}
# What each scenario does after the menu's Paste: the key bound to the script where the
# file manager has one, and a Move from the menu in two of them.
# A Paste from the menu also into a folder whose name is not valid UTF-8 where the file
# manager can show one: Nemo and Caja (Dolphin and PCManFM-Qt cannot open it).
MENU_STEPS = {
    "nemo": [("menu", "paste", "dest"), ("key", "paste", "dest"), ("menu", "paste", "odd")],
    "caja": [("menu", "paste", "dest"), ("key", "paste", "dest"), ("menu", "paste", "odd"),
             ("menu", "move", "dest")],
    "dolphin": [("menu", "paste", "dest"), ("menu", "move", "dest")],
    "pcmanfm-qt": [("menu", "paste", "dest")],
}
ODD_NAME = os.fsdecode(b"Ziel \xff\xfe")
# Inside the view and clear of its items, the bars along its bottom and the side panel.
EMPTY_SPOT = (3 / 4, 2 / 3)


def menu_scenario(d, manager):
    """Files copied with the file manager's own Ctrl+C; in the destination, with nothing
    selected, Ferrymark's entry chosen from the file manager's background menu, and its key
    pressed where it has one, also into a folder whose name is not valid UTF-8; every copy
    checked byte for byte."""
    write_entries(d)
    source = os.path.join(d.data, "Quelle #1 & co")
    make_tree(source, {
        AWKWARD["space"]: {AWKWARD["hash"]: 70_001, "empty": 0, "x y": {"z.bin": 300_000}},
        AWKWARD["amp"]: {AWKWARD["nonascii"]: 5000},
        AWKWARD["percent"]: 1,
        "plain": 8 << 20,
    })
    items, expected = items_and_manifests(source)
    folders = {"dest": os.path.join(d.data, "Ziel 100% ä"),
               "odd": os.path.join(d.data, ODD_NAME)}
    for folder in folders.values():
        os.makedirs(folder)

    src_window = d.open_folder(manager, source, 0)
    d.copy_all(src_window, items, EMPTY_SPOT)
    windows = {}
    for done, (how, command, where) in enumerate(MENU_STEPS[manager], start=1):
        dest = folders[where]
        if where not in windows:
            windows[where] = d.open_folder(manager, dest, 1)
        dest_window = windows[where]
        _, _, width, height = d.geometry(dest_window.id)
        spot = (int(width * EMPTY_SPOT[0]), int(height * EMPTY_SPOT[1]))
        empty_folder(dest)
        d.activate(dest_window.id)
        if how == "menu":
            d.x("xdotool", "mousemove", "--window", str(dest_window.id), str(spot[0]),
                str(spot[1]), "click", "3")
            # The open menu grabs the keyboard; keys before it shows would go to the view.
            wait_for(lambda: d.popup_open(FILE_MANAGER_WINDOWS[manager][1]), 30,
                     f"{manager}'s menu to open")
            time.sleep(0.5)
            d.screenshot(f"menu-{where}-{command}")
            d.key(*MENU_KEYS[manager][command])
            time.sleep(0.5)
            d.screenshot(f"menu-{where}-{command}-entry")
            d.key("Return")
        else:
            d.click(dest_window.id, *spot)  # nothing selected
            time.sleep(0.3)
            d.key("ctrl+alt+m" if command == "move" else "ctrl+alt+v")
        try:
            d.wait_log("End copy to", done, timeout=120)
        except Failure:
            d.screenshot(f"no-{how}-{where}-{command}")
            raise
        d.step(f"the {how} {command} ended")
        check_transfer(expected, source, dest, command == "move")
        if command == "paste":
            check_sources_kept(expected, items)


def scenario_menu_nemo(d):
    menu_scenario(d, "nemo")


def scenario_menu_caja(d):
    menu_scenario(d, "caja")


def scenario_menu_dolphin(d):
    menu_scenario(d, "dolphin")


def scenario_menu_pcmanfm_qt(d):
    menu_scenario(d, "pcmanfm-qt")


def scenario_conflicts(d):
    """Conflicts are asked after everything else is placed: Merge a folder, then Replace
    with Apply to all for every file conflict, nested ones included."""
    source = os.path.join(d.data, "source")
    dest = os.path.join(d.data, "dest #2")
    project = "Projekt ä & co"
    make_tree(source, {
        project: {
            "a #1.txt": 1000, "b 50%.txt": 2000, "new in source.txt": 3000,
            "sub dir": {"deep.txt": 4000, "only new.txt": 10},
        },
        "fresh file.txt": 64 << 20,
        "fresh folder": {"one": 100, "two": {"three": 200}},
    })
    make_tree(dest, {
        project: {
            "a #1.txt": 11, "b 50%.txt": 22, "kept.txt": 33,
            "sub dir": {"deep.txt": 44, "only old.txt": 55},
        },
    })
    items = [os.path.join(source, n) for n in listing(source)]
    before_dest = manifest(dest)
    want = {n: manifest(os.path.join(source, n)) for n in ("fresh file.txt", "fresh folder")}

    src_window = d.open_folder("nautilus", source, 0)
    d.copy_all(src_window, items)
    dest_window = d.open_folder("nautilus", dest, 1)
    d.activate(dest_window.id)
    d.key("super+alt+v")
    seen = set()

    folder_prompt = d.wait_dialog(seen, "the folder conflict prompt")
    d.screenshot("merge-prompt")
    # Everything without a conflict is in place before the first question...
    for name, manifest_wanted in want.items():
        compare(manifest_wanted, manifest(os.path.join(dest, name)),
                f"{name!r} when the first prompt showed")
    # ...and nothing that conflicts has been touched.
    now = manifest(dest)
    untouched = {k: v for k, v in now.items() if k.split("/")[0] == project or k == "."}
    compare({k: v for k, v in before_dest.items() if k != "."},
            {k: v for k, v in untouched.items() if k != "."},
            "the conflicting folder when the first prompt showed")

    # Merge is the folder prompt's first and selected option.
    d.activate(folder_prompt.id)
    d.key("Return")
    d.wait_gone(folder_prompt.id, "the folder prompt to close")

    file_prompt = d.wait_dialog(seen, "a file conflict prompt inside the merged folder")
    # The merge has placed the folder's new items before asking about its files.
    if not os.path.exists(os.path.join(dest, project, "new in source.txt")):
        raise Failure("the file prompt came before the merge placed the new files")
    d.activate(file_prompt.id)
    # Focus starts on the options: Keep Both, then Replace; Tab reaches Apply to all.
    d.key("Down", "Tab", "space")
    d.screenshot("replace-apply-to-all")
    d.key("Return")
    d.wait_gone(file_prompt.id, "the file prompt to close")

    def finished():
        extra = d.new_dialog(seen)
        if extra is not None:
            d.screenshot("unexpected-prompt")
            raise Failure("another conflict was asked after Replace with Apply to all")
        return d.count_log("End copy to") >= 1
    wait_for(finished, 120, "the transfer to end")
    d.screenshot("done")

    result = manifest(os.path.join(dest, project))
    src = manifest(os.path.join(source, project))
    expected = dict(src)
    # The folders keep their own modes; merged ones keep what only the old one held.
    for old in ("kept.txt", "sub dir/only old.txt"):
        expected[old] = before_dest[f"{project}/{old}"]
    expected["."] = before_dest[project]
    expected["sub dir"] = before_dest[f"{project}/sub dir"]
    compare(expected, result, "the merged folder")
    for name, manifest_wanted in want.items():
        compare(manifest_wanted, manifest(os.path.join(dest, name)), f"the copy of {name!r}")


def scenario_copy_beside(d):
    """Pasting into the copied items' own folder makes " copy" and " copy 2"; the first
    paste comes from the tray menu."""
    folder = os.path.join(d.data, "Ort #3 & ü")
    make_tree(folder, {"report.txt": 5000, "Bilder & Fotos": {"a.png": 100, "b": {}}})
    items, expected = items_and_manifests(folder)

    window = d.open_folder("nautilus", folder, 0)
    d.copy_all(window, items)
    d.activate(window.id)
    # Paste Here is the menu's first entry.
    d.tray_menu(["Down", "Return"])
    d.wait_log("End copy to", 1)
    d.activate(window.id)
    d.key("super+alt+v")
    d.wait_log("End copy to", 2)
    d.screenshot("done")

    names = {"report copy.txt": "report.txt", "report copy 2.txt": "report.txt",
             "Bilder & Fotos copy": "Bilder & Fotos", "Bilder & Fotos copy 2": "Bilder & Fotos"}
    if listing(folder) != sorted(list(names) + list(expected)):
        raise Failure(f"the folder holds {listing(folder)}")
    for copy, original in names.items():
        compare(expected[original], manifest(os.path.join(folder, copy)), f"{copy!r}")
    for path in items:
        compare(expected[os.path.basename(path)], manifest(path), f"the original {path!r}")


def scenario_into_itself(d):
    """A folder pasted into itself is refused; Stop leaves everything as it was, also
    the other copied item, which Continue would have pasted."""
    parent = os.path.join(d.data, "parent")
    make_tree(parent, {"Mappe ö #4": {"inside.txt": 1000, "sub": {"x": 10}},
                       "other & more.txt": 500})
    folder = os.path.join(parent, "Mappe ö #4")
    before = manifest(parent)

    window = d.open_folder("nautilus", parent, 0)
    d.copy_all(window, [os.path.join(parent, n) for n in listing(parent)])
    inner = d.open_folder("nautilus", folder, 1)
    d.activate(inner.id)
    d.key("super+alt+v")
    prompt = d.wait_dialog(set(), "the into-itself prompt")
    d.screenshot("into-itself-prompt")
    d.activate(prompt.id)
    # No options here: focus starts on Apply to all; Tab reaches Stop.
    d.key("Tab", "space")
    d.wait_gone(prompt.id, "the prompt to close")
    d.sync_with_ferrymark()
    if d.count_log("Begin copy to"):
        raise Failure("a transfer started after Stop")
    compare(before, manifest(parent), "the folder after Stop")


def start_huge_transfer(d):
    source = os.path.join(d.data, "source")
    dest = os.path.join(d.data, "dest")
    os.makedirs(source)
    os.makedirs(dest)
    big = os.path.join(source, "groß & #big.bin")
    with open(big, "wb") as f:
        os.posix_fallocate(f.fileno(), 0, HUGE)  # allocated: a copy skips holes
    src_window = d.open_folder("nautilus", source, 0)
    d.copy_all(src_window, [big])
    dest_window = d.open_folder("nautilus", dest, 1)
    d.activate(dest_window.id)
    d.key("super+alt+v")
    progress = wait_for(d.progress_window, 60, "the progress window")
    final = os.path.join(dest, os.path.basename(big))

    def partial():
        # The file is written under a hidden temporary name until it is complete.
        for name in os.listdir(dest):
            path = os.path.join(dest, name)
            if name.startswith(".ferrymark-") and name.endswith(".part") and size_of(path) > 0:
                return path
        return None
    target = wait_for(partial, 30, "the copy to start writing")
    if os.path.lexists(final):
        raise Failure("the unfinished copy stands under its final name")
    return big, dest, target, progress


def wait_still(path, what, settle=1.0, timeout=30):
    """Waits until the file's size has stood still for `settle` seconds; returns it."""
    state = {"size": size_of(path), "since": time.monotonic()}

    def still():
        size = size_of(path)
        if size != state["size"]:
            state["size"], state["since"] = size, time.monotonic()
            return None
        return time.monotonic() - state["since"] >= settle and (size,)
    return wait_for(still, timeout, what)[0]


def scenario_pause_stop(d):
    """Pause and Resume from the progress window while a large file copies; Stop leaves
    no partial file."""
    big, dest, target, progress = start_huge_transfer(d)
    d.click_from_corner(progress.id, PROGRESS_PAUSE)
    paused_at = wait_still(target, "the copy to pause")
    d.screenshot("paused")
    # Paused means still: no chunk may be written while it lasts.
    time.sleep(2)
    if size_of(target) != paused_at:
        raise Failure(f"the file grew from {paused_at} to {size_of(target)} while paused")
    if d.count_log("End copy to"):
        raise Failure("the transfer ended instead of pausing")

    d.click_from_corner(progress.id, PROGRESS_PAUSE)
    wait_for(lambda: size_of(target) > paused_at + (16 << 20), 60, "the copy to resume")
    d.screenshot("resumed")

    d.click_from_corner(progress.id, PROGRESS_STOP)
    d.wait_log("End copy to", 1, timeout=60)
    d.wait_gone(progress.id, "the progress window to close after Stop")
    # No notification server runs here: the list of what was not transferred comes up.
    report = wait_for(lambda: next(iter(d.report_windows()), None), 30,
                      "the list of what the stopped transfer left")
    if not report.title.endswith("stopped"):
        raise Failure(f"the list window is titled {report.title!r}")
    d.screenshot("stopped")
    if listing(dest):
        raise Failure(f"Stop left {listing(dest)} behind")
    if size_of(big) != HUGE:
        raise Failure("the source changed")


def scenario_quit_tray(d):
    """Quit from the tray menu while a transfer runs: Yes ends it and the partial file."""
    big, dest, target, progress = start_huge_transfer(d)
    # Quit Ferrymark is the menu's last entry.
    d.tray_menu(["Up", "Return"])
    prompt = d.wait_dialog(set(), "the quit prompt")
    d.screenshot("quit-prompt")
    d.activate(prompt.id)
    # Only the buttons can take the focus, and Yes comes first.
    d.key("space")
    try:
        code = d.ferrymark.wait(timeout=60)
    except subprocess.TimeoutExpired:
        raise Failure("Ferrymark did not quit after Yes")
    if code != 0:
        raise Failure(f"Ferrymark quit with code {code}")
    if listing(dest):
        raise Failure(f"quitting left {listing(dest)} behind")
    if size_of(big) != HUGE:
        raise Failure("the source changed")


SCENARIOS = {
    "paste_nautilus": (scenario_paste_nautilus, ["nautilus"]),
    "move_nautilus": (scenario_move_nautilus, ["nautilus"]),
    "conflicts": (scenario_conflicts, ["nautilus"]),
    "copy_beside": (scenario_copy_beside, ["nautilus"]),
    "into_itself": (scenario_into_itself, ["nautilus"]),
    "pause_stop": (scenario_pause_stop, ["nautilus"]),
    "paste_thunar": (scenario_paste_thunar, ["thunar"]),
    "quit_tray": (scenario_quit_tray, ["nautilus"]),
    "entry_thunar": (scenario_entry_thunar, ["thunar"]),
    "entry_nautilus": (scenario_entry_nautilus, ["nautilus"]),
    "menu_nemo": (scenario_menu_nemo, ["nemo"]),
    "menu_caja": (scenario_menu_caja, ["caja"]),
    "menu_dolphin": (scenario_menu_dolphin, ["dolphin"]),
    "menu_pcmanfm_qt": (scenario_menu_pcmanfm_qt, ["pcmanfm-qt"]),
}

COMMON_TOOLS = ["xdotool", "xprop", "xwininfo", "xclip", "import", "trayer", "dbus-daemon"]


def run_scenario(name, ferrymark, out_dir):
    function, tools = SCENARIOS[name]
    missing = [t for t in COMMON_TOOLS + tools if shutil.which(t) is None]
    if missing:
        raise Skip(f"not installed: {', '.join(missing)}; run scripts/install-deps.sh")
    d = Desktop(name, ferrymark, out_dir)
    started = time.monotonic()
    try:
        d.start_bus()
        d.start_tray()
        d.start_ferrymark()
        function(d)
        log(f"PASS {name} ({time.monotonic() - started:.1f} s)")
    except Exception as e:
        shot = d.screenshot("failure")
        saved = os.path.join(out_dir, f"{name}-ferrymark.log")
        shutil.copyfile(d.stderr_path, saved) if os.path.exists(d.stderr_path) else None
        detail = str(e) if isinstance(e, Failure) else traceback.format_exc()
        raise Failure(f"{name}: {detail}\n  screenshot: {shot}\n  Ferrymark's log:\n"
                      + "".join(f"    {line}\n" for line in d.stderr().splitlines()[-20:]))
    finally:
        d.close()


def main():
    # A test runner's time-out ends us with SIGTERM: clean up as on any failure.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("terminated"))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--ferrymark", required=True, help="the ferrymark program")
    parser.add_argument("--out", help="folder for the screenshots (FERRYMARK_E2E_OUT wins; "
                                      "default: e2e-screenshots in the program's build folder)")
    parser.add_argument("scenarios", nargs="*", help=f"of {', '.join(SCENARIOS)}; all if none")
    args = parser.parse_args()
    ferrymark = os.path.abspath(args.ferrymark)
    out_dir = os.path.abspath(os.environ.get("FERRYMARK_E2E_OUT") or args.out or os.path.join(
        os.path.dirname(os.path.dirname(ferrymark)), "e2e-screenshots"))
    names = args.scenarios or list(SCENARIOS)
    unknown = [n for n in names if n not in SCENARIOS]
    if unknown:
        parser.error(f"unknown scenarios: {unknown}")
    if not os.environ.get("DISPLAY"):
        print("SKIP: no DISPLAY; run through tests/run-x11.sh", file=sys.stderr)
        return SKIP
    if not os.access(ferrymark, os.X_OK):
        print(f"FAIL: {ferrymark} is not an executable", file=sys.stderr)
        return 1

    passed, failed, skipped = 0, 0, 0
    for name in names:
        try:
            run_scenario(name, ferrymark, out_dir)
            passed += 1
        except Skip as e:
            log(f"SKIP {name}: {e}")
            skipped += 1
        except Failure as e:
            log(f"FAIL {e}")
            failed += 1
    log(f"e2e: {passed} passed, {failed} failed, {skipped} skipped")
    if failed:
        return 1
    return SKIP if skipped and not passed else 0


if __name__ == "__main__":
    sys.exit(main())

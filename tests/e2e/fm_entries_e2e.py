#!/usr/bin/env python3
"""The entries Ferrymark writes into the six file managers, run as each file manager runs
them, on a private display and session bus (tests/run-x11.sh).

For each file manager: its entries are written (fm-entries, the writers of "Add to File
Managers"), the clipboard is given the bytes that file manager offers after its own Ctrl+C
(tests/data/clipboard), and the command line of its "Paste Here with Ferrymark" entry is run
exactly as the file manager would build it: Nautilus's and Caja's scripts with the folder URI
in their environment variable, Thunar's uca.xml command with %f, Nemo's Exec with %P,
Dolphin's and PCManFM-Qt's Exec with %f. Each Paste goes into a folder whose name is not
valid UTF-8, so the folder's bytes must survive the entry and the bus unchanged. The copy is
checked byte for byte; Thunar and Dolphin also Move. Removing the entries leaves no file
behind.
"""
import argparse
import configparser
import os
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.parse
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
CLIPBOARD = os.path.join(HERE, "..", "data", "clipboard")
SAMPLE = b"/srv/sample"  # the folder prefix in the captured bytes
NAMES = ["a.txt", "b with space.txt", "ü-ñ #%&.txt", "sub dir"]
# File manager, its program, its capture folder and the target it offers first.
FILE_MANAGERS = [
    ("Nautilus", "nautilus", "nautilus", "x-special/gnome-copied-files"),
    ("Thunar", "thunar", "thunar", "x-special/gnome-copied-files"),
    ("Nemo", "nemo", "nemo", "x-special/gnome-copied-files"),
    ("Caja", "caja", "caja", "x-special/mate-copied-files"),
    ("Dolphin", "dolphin", "dolphin", "text/uri-list"),
    ("PCManFM-Qt", "pcmanfm-qt", "pcmanfm-qt", "x-special/gnome-copied-files"),
]
MOVES = {"Thunar", "Dolphin"}
# Not valid UTF-8: a D-Bus string cannot carry it, and decoding it would change it.
ODD_NAME = os.fsdecode(b"\xff\xfe \xe9")


class Failure(Exception):
    pass


def wait_for(check, seconds, what):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if check():
            return
        time.sleep(0.1)
    raise Failure(f"timed out waiting for {what}")


def make_sources(root):
    src = os.path.join(root, "src")
    if os.path.exists(src):
        shutil.rmtree(src)
    os.makedirs(os.path.join(src, "sub dir"))
    contents = {}
    for i, name in enumerate(NAMES[:3]):
        data = os.urandom(200_000 + i * 77_777)
        with open(os.path.join(src, name), "wb") as f:
            f.write(data)
        contents[name] = data
    inner = os.urandom(123_457)
    with open(os.path.join(src, "sub dir", "inner.bin"), "wb") as f:
        f.write(inner)
    contents["sub dir/inner.bin"] = inner
    return contents


def offer_clipboard(capture, target, root, cut=False):
    """Serves the captured bytes, with only the folder prefix rewritten, under target."""
    path = os.path.join(CLIPBOARD, f"{capture}-{'cut' if cut else 'copy'}",
                        target.replace("/", "_") + ".bin")
    with open(path, "rb") as f:
        data = f.read().replace(SAMPLE, root.encode())
    proc = subprocess.Popen(["xclip", "-selection", "clipboard", "-t", target, "-loops", "0"],
                            stdin=subprocess.PIPE)
    proc.stdin.write(data)
    proc.stdin.close()
    time.sleep(0.3)
    return proc


def entry_command(name, home, folder, flag):
    """The argv and environment the file manager would run for its entry."""
    env = dict(os.environ)
    uri = "file://" + urllib.parse.quote(os.fsencode(folder))
    label = "Paste Here with Ferrymark" if flag == "--paste" else "Move Here with Ferrymark"
    ident = "ferrymark-paste" if flag == "--paste" else "ferrymark-move"
    if name in ("Nautilus", "Caja"):
        folder_of = {"Nautilus": ".local/share/nautilus/scripts", "Caja": ".config/caja/scripts"}
        script = os.path.join(home, folder_of[name], label)
        if not os.access(script, os.X_OK):
            raise Failure(f"{script} is not executable")
        env[f"{name.upper()}_SCRIPT_CURRENT_URI"] = uri
        return [script], env
    if name == "Thunar":
        root = ET.parse(os.path.join(home, ".config/Thunar/uca.xml")).getroot()
        for action in root.findall("action"):
            if action.findtext("unique-id") == ident:
                if action.find("directories") is None:
                    raise Failure("Thunar's action is not offered for folders")
                command = action.findtext("command").replace("%f", shlex.quote(folder))
                return ["sh", "-c", command], env
        raise Failure("no Thunar action " + ident)
    parser = configparser.RawConfigParser(interpolation=None)
    parser.optionxform = str
    if name == "Nemo":
        parser.read(os.path.join(home, f".local/share/nemo/actions/{ident}.nemo_action"))
        section = parser["Nemo Action"]
        if section.get("Selection") != "None" or section.get("Extensions") != "any;":
            raise Failure("Nemo's action is not shown with nothing selected")
        return shlex.split(section["Exec"].replace("%P", shlex.quote(folder))), env
    if name == "Dolphin":
        menu = os.path.join(home, ".local/share/kio/servicemenus/ferrymark.desktop")
        if not os.access(menu, os.X_OK):
            raise Failure("Dolphin ignores a service menu that is not executable")
        parser.read(menu)
        if parser["Desktop Entry"].get("MimeType") != "inode/directory;":
            raise Failure("Dolphin's service menu is not for folders")
        action = "ferrymarkPaste" if flag == "--paste" else "ferrymarkMove"
        exec_line = parser[f"Desktop Action {action}"]["Exec"]
    else:
        parser.read(os.path.join(home, f".local/share/file-manager/actions/{ident}.desktop"))
        if parser["Desktop Entry"].get("Type") != "Action":
            raise Failure("PCManFM-Qt's action has no Type=Action")
        exec_line = parser["X-Action-Profile folder"]["Exec"]
    return [a.replace("%f", folder) for a in shlex.split(exec_line.replace("%%", "%"))], env


def check_copy(contents, folder):
    for rel, data in contents.items():
        path = os.path.join(folder, rel)
        wait_for(lambda: os.path.exists(path) and os.path.getsize(path) == len(data), 60,
                 f"{path}")
    time.sleep(0.3)
    for rel, data in contents.items():
        with open(os.path.join(folder, rel), "rb") as f:
            if f.read() != data:
                raise Failure(f"{rel} in {folder} differs from its source")


def main():
    args = argparse.ArgumentParser()
    args.add_argument("--ferrymark", required=True)
    args.add_argument("--fm-entries", required=True)
    opts = args.parse_args()
    missing = [p for _, p, _, _ in FILE_MANAGERS if not shutil.which(p)]
    missing += [t for t in ("xclip",) if not shutil.which(t)]
    if missing:
        print("SKIP: not installed: " + ", ".join(missing), file=sys.stderr)
        return 77

    root = tempfile.mkdtemp(prefix="ferrymark-entries-e2e-")
    home = os.path.join(root, "home")
    os.makedirs(os.path.join(home, ".config/Ferrymark"))
    with open(os.path.join(home, ".config/Ferrymark/Ferrymark.ini"), "w") as f:
        f.write("[General]\nlicenseAgreed=true\nhelpGuideLaunched=true\nstartItem=true\n"
                "fileManagerEntriesOffered=true\n")
    os.environ.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"))
    ferrymark = os.path.abspath(opts.ferrymark)
    clip = None
    try:
        before = set(os.listdir(home))
        out = subprocess.run([opts.fm_entries, "add", home, ferrymark, "--keys"], check=True,
                             capture_output=True, text=True).stdout
        print(out)
        for name, _, capture, target in FILE_MANAGERS:
            if name not in out:
                raise Failure(f"no entries were written for {name}")
            for flag in ["--paste"] + (["--move"] if name in MOVES else []):
                contents = make_sources(root)
                dest = os.path.join(root, f"dest {name} {flag[2:]}")
                if flag == "--paste":
                    dest = os.path.join(dest, ODD_NAME)
                os.makedirs(dest)
                clip = offer_clipboard(capture, target, root, cut=flag == "--move")
                argv, env = entry_command(name, home, dest, flag)
                subprocess.run(argv, env=env, check=True, timeout=60)
                check_copy(contents, dest)
                if flag == "--paste" and os.listdir(os.path.dirname(dest)) != [ODD_NAME]:
                    raise Failure(f"{name} {flag}: something went beside {dest!r}")
                if flag == "--move":
                    wait_for(lambda: not os.path.exists(os.path.join(root, "src", "a.txt")), 30,
                             "the moved sources to go")
                clip.terminate()
                clip.wait()
                clip = None
                print(f"{name} {flag}: {len(contents)} files checked byte for byte")
        subprocess.run([opts.fm_entries, "remove", home, ferrymark], check=True,
                       capture_output=True)
        left = [os.path.join(d, f) for d, _, fs in os.walk(home) for f in fs
                if "Ferrymark" not in d]
        # Folders stay, as the file managers make them too; no file of ours may.
        if left or set(os.listdir(home)) - before - {".local", ".gnome2"}:
            raise Failure(f"removing the entries left {left}")
        print("entries of six file managers: all checks passed")
        return 0
    except (Failure, subprocess.CalledProcessError, subprocess.TimeoutExpired) as e:
        print(f"FAIL: {e}", file=sys.stderr)
        return 1
    finally:
        if clip:
            clip.terminate()
        # Only the Ferrymark this test started: other tests may run the same program.
        for pid in subprocess.run(["pgrep", "-f", "^" + ferrymark + "$"], capture_output=True,
                                  text=True).stdout.split():
            try:
                with open(f"/proc/{pid}/environ", "rb") as f:
                    if f"HOME={home}".encode() in f.read().split(b"\0"):
                        os.kill(int(pid), signal.SIGTERM)
            except OSError:
                pass
        time.sleep(0.5)
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""fm-transfer --progress on a slow real disk (tests/disk/fake-disk.sh: ext4 on a loop device
over nbdfuse and nbdkit's rate filter), against the bytes the device has received
(/sys/block/<dev>/stat). Prints, for a copy of one file:
  - the largest lead of the bytes shown as done over the bytes the device received,
    in MiB and in seconds of the device's speed;
  - when 100% was first shown, as a fraction of the job's time;
  - the largest error of the time left (elapsed * (total - done) / done), from 10% on;
and, in a second run stopped at half way, the time from SIGTERM to the end of the program.
Usage: bench/slow_disk_progress.py [--rate 80M] [--mib 160] [--tool build/tools/fm-transfer]
                                  [--base OTHER-FM-TRANSFER] [--rounds N] [--drain] [--verbose]
Needs root, loop devices and FUSE. Not run by CI."""
verbose = False

import argparse, os, signal, subprocess, sys, tempfile, threading, time

HERE = os.path.dirname(os.path.abspath(__file__))
FAKE_DISK = os.path.join(HERE, "..", "tests", "disk", "fake-disk.sh")


def device_stat(mount):
    st = os.stat(mount)
    path = "/sys/dev/block/%d:%d/stat" % (os.major(st.st_dev), os.minor(st.st_dev))
    return path


def sectors_written(stat_path):
    with open(stat_path) as f:
        return int(f.read().split()[6]) * 512


def run(tool, source, target, stat_path, stop_at=None):
    """Runs one copy; returns (start, end, lines, stop_time) with lines as
    (time, done, total, device_bytes)."""
    base = sectors_written(stat_path)
    start = time.monotonic()
    proc = subprocess.Popen([tool, "--progress", source, target], stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True)
    lines, stop_time = [], None
    for line in proc.stderr:
        now = time.monotonic()
        parts = line.split()
        if len(parts) == 5 and parts[0] == "progress":
            done, total = int(parts[1]), int(parts[2])
            lines.append((now - start, done, total, sectors_written(stat_path) - base))
            if stop_at is not None and stop_time is None and total and done >= stop_at * total:
                stop_time = time.monotonic()
                proc.send_signal(signal.SIGTERM)
    proc.wait()
    end = time.monotonic()
    return start, end, lines, (end - stop_time if stop_time else None)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rate", default="80M")
    parser.add_argument("--mib", type=int, default=160)
    parser.add_argument("--tool", default=os.path.join(HERE, "..", "build", "tools", "fm-transfer"))
    parser.add_argument("--base", help="a second fm-transfer to compare (one with --progress)")
    parser.add_argument("--rounds", type=int, default=1)
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("--drain", action="store_true",
                        help="empty the rate filter's burst bucket (2 s) before each run, so"
                        " that the disk runs at its steady speed from the start")
    args = parser.parse_args()
    global verbose
    verbose = args.verbose
    speed = int(args.rate.rstrip("M")) * 1_000_000 / 8
    work = tempfile.mkdtemp(prefix="slow-disk-bench-")
    state = os.path.join(work, "disk")
    source = os.path.join(work, "source.bin")
    with open(source, "wb") as f:
        for _ in range(args.mib):
            f.write(os.urandom(1 << 20))
    mount = subprocess.run([FAKE_DISK, "start", state, "--size", "%dM" % (args.mib + 96),
                            "--rate", args.rate, "--mount-options", "commit=300"],
                           capture_output=True, text=True)
    if mount.returncode != 0:
        print(mount.stderr, file=sys.stderr)
        return mount.returncode
    mnt = mount.stdout.strip()
    try:
        stat_path = device_stat(mnt)
        tools = [("fm-transfer", args.tool)] + ([("base", args.base)] if args.base else [])
        runs = [(name, tool, label, stop_at) for _ in range(args.rounds) for name, tool in tools
                for label, stop_at in (("full copy", None), ("stopped at 50%", 0.5))]
        for name, tool, label, stop_at in runs:
            target = os.path.join(mnt, label.split()[0])
            os.mkdir(target)
            # Each run starts on a disk that has taken everything before it.
            os.sync()
            time.sleep(2.5)
            if args.drain:
                drain = os.path.join(mnt, "drain")
                subprocess.run(["dd", "if=/dev/zero", "of=" + drain, "bs=1M", "count=24",
                                "oflag=direct", "status=none"], check=True)
                os.unlink(drain)
            start, end, lines, stop_latency = run(tool, source, target, stat_path, stop_at)
            elapsed = end - start
            print("%s, %s: %d progress lines, %.2f s" % (name, label, len(lines), elapsed))
            if stop_at is not None:
                print("  stop latency (SIGTERM to exit): %.2f s" % stop_latency)
                shutil_rm(target)
                continue
            lead = max(done - dev for _, done, _, dev in lines)
            first_full = min((t for t, done, total, _ in lines if done >= total), default=None)
            last_below = max((t for t, done, total, _ in lines if done < total), default=0.0)
            errors = []
            for t, done, total, _ in lines:
                if done < total and done >= 0.1 * total and t > 0:
                    estimate = t * (total - done) / done
                    truth = elapsed - t
                    errors.append((abs(estimate - truth) / elapsed, abs(estimate - truth) / truth,
                                   t, estimate, truth))
            print("  largest lead over the device: %.1f MiB = %.2f s at %.1f MB/s"
                  % (lead / 2**20, lead / speed, speed / 1e6))
            print("  100%% first shown at %.2f s = %.1f%% of the job (last line below 100%%: %.1f%%)"
                  % (first_full, 100 * first_full / elapsed, 100 * last_below / elapsed))
            worst = max(errors, default=(0, 0, 0, 0, 0))
            print("  largest time-left error from 10%% on: %.1f%% of the job's time, %.1f%% of"
                  " the time then left (at %.1f s: %.1f s shown, %.1f s true)" % (
                      100 * worst[0], 100 * worst[1], worst[2], worst[3], worst[4]))
            print("  largest time-left error relative to the time left: %.1f%%"
                  % (100 * max((e[1] for e in errors), default=0)))
            if verbose:
                for t, done, total, dev in lines:
                    print("    %6.2f s  shown %7.1f MiB  device %7.1f MiB" % (t, done / 2**20, dev / 2**20))
            shutil_rm(target)
    finally:
        subprocess.run([FAKE_DISK, "stop", state])
        subprocess.run(["rm", "-rf", "--one-file-system", work])
    return 0


def shutil_rm(path):
    subprocess.run(["rm", "-rf", path])


if __name__ == "__main__":
    sys.exit(main())

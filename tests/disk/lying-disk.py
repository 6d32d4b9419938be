# nbdkit python plugin: a memory disk that lies while the file named by trigger= exists.
# Each 4 KiB block written meanwhile reads back with its first byte inverted, as failing
# flash and fake-capacity sticks do: every write and flush succeeds, the data is not kept.
import os

API_VERSION = 2
BLOCK = 4096

size = 64 * 1024 * 1024
trigger = None


def config(key, value):
    global size, trigger
    if key == "size":
        size = int(value)
    elif key == "trigger":
        trigger = value
    else:
        raise RuntimeError("unknown parameter " + key)


# One disk whatever the number of connections.
disk = None


def open(readonly):
    global disk
    if disk is None:
        disk = {"data": bytearray(size), "bad": set()}
    return disk


def get_size(h):
    return size


def can_multi_conn(h):
    return False


def pread(h, buf, offset, flags):
    end = offset + len(buf)
    buf[:] = h["data"][offset:end]
    if not h["bad"]:
        return
    for block in range(offset // BLOCK, (end - 1) // BLOCK + 1):
        at = block * BLOCK
        if block in h["bad"] and offset <= at < end:
            buf[at - offset] ^= 0xFF


def pwrite(h, buf, offset, flags):
    end = offset + len(buf)
    h["data"][offset:end] = buf
    lying = trigger is not None and os.path.exists(trigger)
    for block in range(offset // BLOCK, (end - 1) // BLOCK + 1):
        if lying:
            h["bad"].add(block)
        else:
            h["bad"].discard(block)


def flush(h, flags):
    pass


def zero(h, count, offset, flags):
    pwrite(h, bytearray(count), offset, flags)


def trim(h, count, offset, flags):
    pass

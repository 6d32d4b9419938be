# 20,000 files of 4 KiB in 200 folders, under the folder given.
import os
import sys

root = sys.argv[1]
block = os.urandom(4096)
for d in range(200):
    p = os.path.join(root, "dir%03d" % d)
    os.makedirs(p)
    for f in range(100):
        with open(os.path.join(p, "file%03d.bin" % f), "wb") as out:
            out.write(block)

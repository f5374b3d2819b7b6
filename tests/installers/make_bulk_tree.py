#!/usr/bin/env python3
"""Copies the sample application's tree and adds many files of bulk data below "bulk", so that
unpacking and deleting take long enough to be cut off part way by a test.
usage: make_bulk_tree.py SAMPLE_TREE OUT_TREE"""
import os
import shutil
import sys

FILES = 400
SIZE = 48 * 1024

sample, out = sys.argv[1], sys.argv[2]
shutil.rmtree(out, ignore_errors=True)
shutil.copytree(sample, out)
os.makedirs(os.path.join(out, "bulk"))
for index in range(FILES):
    line = ("bulk file %03d of the cut-off tests\n" % index).encode()
    with open(os.path.join(out, "bulk", "%03d.dat" % index), "wb") as f:
        f.write((line * (SIZE // len(line) + 1))[:SIZE])

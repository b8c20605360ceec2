#!/usr/bin/python3
"""Writes an atlas index of N entry lines under one image header: make_index.py N > index.txt"""
import sys

n = int(sys.argv[1])
out = sys.stdout
out.write("* a.png size 1 1\n")
for i in range(n):
    out.write("entry%07d.png 0 0 1 1 off %d -%d\n" % (i, i, i))

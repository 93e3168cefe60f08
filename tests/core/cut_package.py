#!/usr/bin/env python3
"""Writes the first half of a package: a damaged package whose signature still
reads as 7z.   usage: cut_package.py IN OUT"""
import sys

data = open(sys.argv[1], "rb").read()
open(sys.argv[2], "wb").write(data[:len(data) // 2])

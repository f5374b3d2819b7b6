#!/usr/bin/env python3
"""Writes the sample application's dictionary files: word lists of invented words with their
translations, large enough to span several 64 KiB blocks. Deterministic: the same bytes on every
run.

usage: make_dictionary.py FOLDER"""
import os
import sys

SYLLABLES = ["ka", "lo", "mi", "ren", "sa", "tor", "vi", "del", "ul", "bar", "ne", "fi", "gro", "hav"]


def words(seed, count):
    x = seed
    for _ in range(count):
        parts = []
        for _ in range(2 + x % 3):
            x = (x * 1103515245 + 12345) & 0x7FFFFFFF
            parts.append(SYLLABLES[(x >> 8) % len(SYLLABLES)])
        yield "".join(parts)


def write(path, seed, count, languages):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(f"# Lexmora sample dictionary {languages}\n")
        for number, (word, translation) in enumerate(zip(words(seed, count), words(seed * 7 + 1, count))):
            f.write(f"{number:06d}\t{word}\t{translation}\n")


if __name__ == "__main__":
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    write(os.path.join(folder, "da-en.lexd"), 11, 6000, "da-en")
    write(os.path.join(folder, "de-en.lexd"), 23, 1500, "de-en")

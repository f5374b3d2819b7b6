#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets: small payloads of every shape the reading rules
know, good and broken, and small PE programs with resource directories. The files are committed;
run this again only to change the seeds. Deterministic."""
import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "payload"))
from payload_bytes import chunk, data, digest, file, version, with_digest  # noqa: E402


def pattern(n, seed=1):
    out = bytearray()
    x = seed
    for _ in range(n):
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        out.append((x >> 16) & 0xFF if x & 0x100 else 0x41 + (x >> 20) % 26)
    return bytes(out)


def off_by_one(payload, at):
    """payload with the lowest bit of one byte changed."""
    return payload[:at] + bytes([payload[at] ^ 1]) + payload[at + 1:]


def walker_seeds():
    good = version() + file(b"lexmora.exe") + data(pattern(700)) + file(b"empty.dat")
    sealed = with_digest(good, len(version()))
    deep = (file(b"first/second/third/deep.txt") + data(b"deep\n" * 40) +
            file(b"first\\second\\mid.txt") + data(b"mid\n"))
    bad_adler = bytearray(zlib.compress(b"hello hello hello", 6))
    bad_adler[-1] ^= 0xFF
    compressor = zlib.compressobj(6, zlib.DEFLATED, 15, 8, zlib.Z_DEFAULT_STRATEGY, zdict=b"dictionary")
    with_dictionary = compressor.compress(b"dictionary words") + compressor.flush()
    seeds = {
        "empty": b"",
        "version-only": version(),
        "good": good,
        "three-levels": version() + deep,
        "skipped-kinds": file(b"a.txt") + data(b"one ") + chunk(7, b"xyz") + chunk(255, b"") +
                         data(b"two"),
        "empty-block": file(b"a") + chunk(0, b"\0\0\0\0") + chunk(0, b"\0\0\0\0\x78\x9c"),
        "trailing-1": good + b"\x01",
        "trailing-3": good + b"\x00\x00\x05",
        "chunk-past-end": good + chunk(2, b"VERSION\0")[:4] + b"VER",
        "skipped-past-end": bytes([9, 0, 1, 0]) + b"abc",
        "data-before-file": version() + data(b"orphan"),
        "short-data-3": file(b"a") + chunk(0, b"\0\0\1"),
        "short-data-0": file(b"a") + chunk(0, b""),
        "size-without-stream": file(b"a") + chunk(0, b"\0\0\0\5"),
        "too-much-output": file(b"a") + data(b"0123456789", declared=5),
        "less-output": file(b"a") + data(b"0123456789", declared=50),
        "bad-adler": file(b"a") + data(b"hello hello hello", stream=bytes(bad_adler)),
        "truncated-stream": file(b"a") + data(pattern(300), stream=zlib.compress(pattern(300), 6)[:-9]),
        "preset-dictionary": file(b"a") + data(b"dictionary words", stream=with_dictionary),
        "trailing-garbage": file(b"a") + data(b"tail", stream=zlib.compress(b"tail", 6) + b"junk"),
        "huge-declared": file(b"a") + data(b"small", declared=0xFFFFFFFF),
        "huge-declared-damaged": file(b"a") + data(b"small", declared=0xFFFFFFFF,
                                                   stream=zlib.compress(b"small", 6)[:-3] + b"xyz"),
        "path-dotdot": file(b"ok.txt") + data(b"ok") + file(b"../escape.txt") + data(b"x"),
        "path-drive": file(b"C:/Windows/x.dll"),
        "path-rooted": file(b"\\rooted.txt"),
        "path-empty-level": file(b"a//b.txt"),
        "path-dot-level": file(b"a/./b.txt"),
        "path-nul": file(b"a\0b"),
        "path-empty": file(b""),
        "path-dots-name": file(b".../x") + data(b"three dots are a name"),
        "many-blocks": file(b"big.bin") + b"".join(data(pattern(256, seed=i)) for i in range(6)),
        "digest-good": sealed,
        "digest-mismatch": sealed.replace(b"lexmora.exe", b"lexmorb.exe"),
        "digest-first": with_digest(file(b"a") + data(b"x"), 0),
        "digest-value-off-by-one": off_by_one(with_digest(file(b"a") + data(b"x"), 0), 13),
        "digest-short-body": version() + chunk(3, b"CRC32\0ab") + file(b"a"),
        "digest-duplicate": with_digest(version() + digest(7) + file(b"a"), len(version())),
        "digest-past-end": version() + digest()[:12],
        "digest-after-file": good + digest(7),
    }
    return seeds


def pe(pe32_plus, resources):
    """A minimal PE program with one section holding a resource directory. resources maps
    (type, name) to bytes; every resource gets language 0x409."""
    types = sorted({t for t, _ in resources})
    # Layout inside the section: root table, type tables, name tables, data entries, data.
    tables = []
    root_entries = []
    offset = 16 + 8 * len(types)
    type_tables = {}
    for t in types:
        names = sorted(n for tt, n in resources if tt == t)
        type_tables[t] = (offset, names)
        offset += 16 + 8 * len(names)
    name_tables = {}
    for t in types:
        for n in type_tables[t][1]:
            name_tables[(t, n)] = offset
            offset += 16 + 8
    data_entries = {}
    for key in sorted(resources):
        data_entries[key] = offset
        offset += 16
    data_offsets = {}
    for key in sorted(resources):
        data_offsets[key] = offset
        offset += (len(resources[key]) + 7) & ~7
    section_rva = 0x1000
    blob = bytearray(offset)

    def table(at, entries):
        struct.pack_into("<IIHHHH", blob, at, 0, 0, 4, 0, 0, len(entries))
        for i, (ident, target) in enumerate(entries):
            struct.pack_into("<II", blob, at + 16 + 8 * i, ident, target)

    table(0, [(t, 0x80000000 | type_tables[t][0]) for t in types])
    for t in types:
        at, names = type_tables[t]
        table(at, [(n, 0x80000000 | name_tables[(t, n)]) for n in names])
    for key, at in name_tables.items():
        table(at, [(0x409, data_entries[key])])
    for key, at in data_entries.items():
        struct.pack_into("<IIII", blob, at, section_rva + data_offsets[key], len(resources[key]), 0, 0)
        blob[data_offsets[key]:data_offsets[key] + len(resources[key])] = resources[key]

    optional_size = 240 if pe32_plus else 224
    headers = bytearray(0x200)
    headers[0:2] = b"MZ"
    struct.pack_into("<I", headers, 0x3C, 0x40)
    headers[0x40:0x44] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", headers, 0x44, 0x8664 if pe32_plus else 0x14C, 1, 0, 0, 0,
                     optional_size, 0x22 if pe32_plus else 0x102)
    opt = 0x58
    struct.pack_into("<H", headers, opt, 0x20B if pe32_plus else 0x10B)
    count_at, dirs_at = (108, 112) if pe32_plus else (92, 96)
    struct.pack_into("<I", headers, opt + count_at, 16)
    struct.pack_into("<II", headers, opt + dirs_at + 16, section_rva, len(blob))
    section = opt + optional_size
    raw_size = (len(blob) + 0x1FF) & ~0x1FF
    struct.pack_into("<8sIIIIIIHHI", headers, section, b".rsrc", len(blob), section_rva, raw_size,
                     0x200, 0, 0, 0, 0, 0x40000040)
    return bytes(headers) + bytes(blob) + bytes(raw_size - len(blob))


def pe_seeds():
    payload = version() + file(b"lexmora.exe") + data(b"MZ sample")
    version_info = b"\x5c\x00\x34\x00\x00\x00" + "VS_VERSION_INFO".encode("utf-16-le")
    return {
        "pe32-payload": pe(False, {(256, 256): payload, (16, 1): version_info}),
        "pe32plus-payload": pe(True, {(256, 256): payload, (24, 1): b"<assembly/>"}),
        "pe32-other-names": pe(False, {(256, 300): b"x", (256, 256): b"", (3, 1): b"icon"}),
        "not-pe": b"MZ" + bytes(62),
    }


def write(folder, seeds):
    os.makedirs(folder, exist_ok=True)
    for name, content in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(content)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "corpus")
    write(os.path.join(root, "walker"), walker_seeds())
    write(os.path.join(root, "pe_resource"), pe_seeds())

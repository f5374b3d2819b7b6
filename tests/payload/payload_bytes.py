"""Payload chunks written byte by byte, for scripts that make payloads no writer would make:
broken and hardened shapes for tests, fuzz seeds. Imported by those scripts."""
import zlib


def chunk(kind, body):
    return bytes([kind]) + len(body).to_bytes(3, "big") + body


def version(value=b"50530304"):
    return chunk(2, b"VERSION\0" + value)


def file(path):
    return chunk(1, path)


def digest(value=0):
    """A digest chunk holding the value as given."""
    return chunk(3, b"CRC32\0" + value.to_bytes(4, "big"))


def with_digest(payload, at):
    """payload with a digest chunk inserted at byte at (writers put it right after the version
    chunk), its value the CRC-32 of every byte of the result but the value's own four."""
    out = bytearray(payload[:at] + digest() + payload[at:])
    value = at + 10
    crc = zlib.crc32(bytes(out[value + 4:]), zlib.crc32(bytes(out[:value])))
    out[value:value + 4] = crc.to_bytes(4, "big")
    return bytes(out)


def data(block, declared=None, stream=None):
    """A data chunk of block, compressed at level 6 unless another stream is given."""
    stream = zlib.compress(block, 6) if stream is None else stream
    size = len(block) if declared is None else declared
    return chunk(0, size.to_bytes(4, "big") + stream)

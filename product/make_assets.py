"""Writes the demo product's bulky data file: tens of megabytes, deterministic,
about as compressible as a real product's media and dictionaries, so an
install of the demo lasts long enough to watch its progress bar."""
import random
import sys


def main(path, megabytes):
    r = random.Random(2052)
    words = [bytes(r.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(r.randint(2, 9))) for _ in range(4000)]
    target = int(megabytes) << 20
    out = bytearray()
    while len(out) < target:
        out += b" ".join(r.choice(words) for _ in range(12)) + b"\n"
        if r.random() < 0.05:
            out += r.randbytes(64)
    with open(path, "wb") as f:
        f.write(out[:target])


if __name__ == "__main__":
    main(*sys.argv[1:3])

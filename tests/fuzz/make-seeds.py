#!/usr/bin/env python3
"""Writes the fuzzer's seed files: the lengths around a record's edges and
every byte value inside a record."""
import os
import sys

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "seeds")
os.makedirs(out, exist_ok=True)


def record(numero=b"", nome=b"", commenti=b""):
    return numero.ljust(40) + nome.ljust(40) + commenti.ljust(100)


seeds = {}
for length in (0, 1, 89, 90, 91, 179, 180, 181, 269, 270, 271, 359, 360, 361, 450, 630):
    seeds[f"length-{length}"] = (record(b"333 1234567", b"Rossi", b"riga 1\r\nriga 2") * 4)[:length]
seeds["every-byte"] = bytes(range(256)) + bytes(range(256))[:104]
seeds["every-byte-fields"] = b"".join(record(bytes([b]), bytes([b, b]), bytes([b]) * 3) for b in range(256))
seeds["accents"] = record("\xe0\xe8\xe9\xec\xf2\xf9".encode("latin-1"), "Citt\xe0".encode("latin-1"),
                           "\x80 \x9c \xff \xdf".encode("latin-1"))
seeds["blank"] = record()
seeds["zeros"] = bytes(360)

for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)

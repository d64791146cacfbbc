#!/usr/bin/env python3
"""Puts CRLs into the crls field of a DER signed-data message, as a sender's tool would: the
field is outside what the signature covers, so the message stays valid.
    add_crls.py MESSAGE.der OUT.der CRL.der...
"""
import sys


def header(data, at):
    """The tag, the header's length and the content's length of the element at `at`."""
    first = data[at + 1]
    if first < 0x80:
        return data[at], 2, first
    count = first & 0x7F
    return data[at], 2 + count, int.from_bytes(data[at + 2:at + 2 + count], "big")


def element(data, at):
    _, head, length = header(data, at)
    return data[at:at + head + length]


def content(data):
    _, head, length = header(data, 0)
    return data[head:head + length]


def encode(tag, body):
    if len(body) < 0x80:
        return bytes([tag, len(body)]) + body
    size = len(body).to_bytes((len(body).bit_length() + 7) // 8, "big")
    return bytes([tag, 0x80 | len(size)]) + size + body


def main():
    message = open(sys.argv[1], "rb").read()
    crls = b"".join(open(name, "rb").read() for name in sys.argv[3:])
    info = content(message)
    oid = element(info, 0)
    signed_data = content(content(info[len(oid):]))
    fields, at = [], 0
    while at < len(signed_data):
        fields.append(element(signed_data, at))
        at += len(fields[-1])
    fields = [field for field in fields if field[0] != 0xA1]
    fields.insert(len(fields) - 1, encode(0xA1, crls))
    body = encode(0x30, b"".join(fields))
    open(sys.argv[2], "wb").write(encode(0x30, oid + encode(0xA0, body)))


main()

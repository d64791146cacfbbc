#!/usr/bin/env python3
"""The signature timestamps of a DER signed-data message's first signer, read and altered as
a forger or a careless tool would.
    timestamp_tokens.py parts MESSAGE.der FOLDER
        writes FOLDER/signature (the signer's signature value) and FOLDER/token-N.der, one per
        token, and prints each token's genTime, as YYYY-MM-DDTHH:MM:SSZ, a line each.
    timestamp_tokens.py alter MESSAGE.der OUT.der time|signature|remove
        one digit of the first token's genTime changed (the time still reads as one), a bit of
        the token's own signature value flipped, or the tokens removed.
    timestamp_tokens.py inspected JSON-FILE
        prints `TIME AUTHORITY` of each signer's timestamp in `orvane inspect --json` output,
        or `none` for a signer without one.
"""
import json
import os
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from time_stamping_authority import elements, encode, dotted  # noqa: E402

TOKEN_ATTRIBUTE = "1.2.840.113549.1.9.16.2.14"
# Child indices from a signed-data ContentInfo to its first SignerInfo, and from a token to its
# TSTInfo's genTime.
FIRST_SIGNER = [1, 0, -1, 0]
GEN_TIME = [1, 0, 2, 1, 0, 0, 4]


def children(whole):
    return [child[2] for child in elements(elements(whole)[0][1])]


def at(whole, path):
    for index in path:
        whole = children(whole)[index]
    return whole


def rebuilt(whole, path, change):
    """`whole` with the element at `path` replaced by change(element), b"" removing it."""
    if not path:
        return change(whole)
    tag = whole[0]
    parts = children(whole)
    parts[path[0]] = rebuilt(parts[path[0]], path[1:], change)
    return encode(tag, b"".join(parts))


def is_token_attribute(attribute):
    kind = children(attribute)[0]
    return kind[0] == 0x06 and dotted(elements(kind)[0][1]) == TOKEN_ATTRIBUTE


def tokens(signer_info):
    unsigned = children(signer_info)[-1]
    if unsigned[0] != 0xA1:
        return []
    return [token for attribute in children(unsigned) if is_token_attribute(attribute)
            for token in children(children(attribute)[1])]


def signature_index(signer_info):
    # The first OCTET STRING of a SignerInfo is its signature: a subject key identifier is [0].
    return next(i for i, field in enumerate(children(signer_info)) if field[0] == 0x04)


def parts(message_file, folder):
    with open(message_file, "rb") as source:
        signer_info = at(source.read(), FIRST_SIGNER)
    with open(os.path.join(folder, "signature"), "wb") as out:
        out.write(elements(children(signer_info)[signature_index(signer_info)])[0][1])
    for number, token in enumerate(tokens(signer_info), 1):
        with open(os.path.join(folder, "token-%d.der" % number), "wb") as out:
            out.write(token)
        time = elements(at(token, GEN_TIME))[0][1].decode()
        print("%s-%s-%sT%s:%s:%sZ" % (time[0:4], time[4:6], time[6:8], time[8:10], time[10:12],
                                      time[12:14]))


def alter(message_file, out_file, how):
    with open(message_file, "rb") as source:
        message = source.read()
    signer_info = at(message, FIRST_SIGNER)
    unsigned = children(signer_info)[-1]
    if not tokens(signer_info):
        sys.exit("%s carries no timestamp" % message_file)
    place = next(i for i, attribute in enumerate(children(unsigned))
                 if is_token_attribute(attribute))
    token_path = FIRST_SIGNER + [-1, place, 1, 0]

    def other_minute(time):
        content = bytearray(elements(time)[0][1])
        content[11] = ord("0") + (content[11] - ord("0") + 1) % 10  # the minute's last digit
        return encode(time[0], bytes(content))

    def flipped(octets):
        content = bytearray(elements(octets)[0][1])
        content[-1] ^= 0x01
        return encode(octets[0], bytes(content))

    def without_tokens(unsigned):
        kept = [attribute for attribute in children(unsigned) if not is_token_attribute(attribute)]
        return encode(unsigned[0], b"".join(kept)) if kept else b""

    if how == "time":
        message = rebuilt(message, token_path + GEN_TIME, other_minute)
    elif how == "signature":
        token_signer = at(at(message, token_path), [1, 0, -1, 0])
        path = token_path + [1, 0, -1, 0, signature_index(token_signer)]
        message = rebuilt(message, path, flipped)
    elif how == "remove":
        message = rebuilt(message, FIRST_SIGNER + [-1], without_tokens)
    else:
        sys.exit("alter takes time, signature or remove, not " + how)
    with open(out_file, "wb") as out:
        out.write(message)


def inspected(json_file):
    with open(json_file, encoding="utf-8") as source:
        summary = json.load(source)
    for signer in summary["signers"]:
        timestamp = signer.get("timestamp")
        print("%s %s" % (timestamp["time"], timestamp["authority"]) if timestamp else "none")


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "parts":
        parts(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 5 and sys.argv[1] == "alter":
        alter(sys.argv[2], sys.argv[3], sys.argv[4])
    elif len(sys.argv) == 3 and sys.argv[1] == "inspected":
        inspected(sys.argv[2])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()

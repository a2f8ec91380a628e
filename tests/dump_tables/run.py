#!/usr/bin/env python3
"""Reads wqdump's CSV and JSON Lines back with Python's csv and json modules
and compares every value with the source the repository was built from:
ids, member names in order, whole strings (null against empty), ints,
doubles to the bit, characters, blobs, references set and unset, members
that take no value. Usage: run.py WQMAKE WQDUMP"""
import csv
import io
import json
import math
import os
import struct
import subprocess
import sys
import tempfile

WQMAKE, WQDUMP = sys.argv[1], sys.argv[2]
failures = []
checks = 0


def check(cond, what):
    global checks
    checks += 1
    if not cond:
        failures.append(what)


LONG = "long " * 20000 + "\u00e9\u20ac\U0001F600"
STRINGS = [None, "", "plain", " padded ", "a,b", 'say "hi"', "two\nlines", "cr\r\nlf",
           "tab\there", "\u00e9t\u00e9 \u20ac \U0001F600", "\u0001\u007f", LONG]
INTS = [0, 1, -1, 2147483647, -2147483648]
DOUBLES = [0.0, -0.0, 1.0, 0.1, 1 / 3, -1.5, 1e308, 1.7976931348623157e308, 5e-324,
           -5e-324, 2.2250738585072009e-308, 1e21, 123456789012345680000.0, 100.0]
CHARS = [0, 1, 10, 13, 34, 44, 65, 127, 128, 233, 255]
BLOBS = ["", "00", "ff00", "0123456789abcdef" * 5000]

# Class Mix (42): a member named "id", so the id column is "_id".
mix_members = [("s", "string"), ("i", "int"), ("d", "double"), ("c", "char"), ("b", "blob"),
               ("r", "ref"), ("r8", 8), ("z", 7), ("id", "string"), ("sn", "string")]
n = max(len(STRINGS), len(INTS), len(DOUBLES), len(CHARS), len(BLOBS))
others = ["Other %d" % k for k in range(3)]
mix = []
for k in range(n):
    v = {"s": STRINGS[k % len(STRINGS)], "i": INTS[k % len(INTS)],
         "d": DOUBLES[k % len(DOUBLES)], "c": CHARS[k % len(CHARS)],
         "b": BLOBS[k % len(BLOBS)], "id": "own id %d" % k, "sn": STRINGS[(k + 3) % len(STRINGS)] or "x"}
    # References: unset, to itself, to the previous object, to class Other.
    v["r"] = [None, "m%d" % k, "m%d" % max(k - 1, 0), "o%d" % (k % 3)][k % 4]
    v["r8"] = None if k % 3 == 0 else "o%d" % ((k + 1) % 3)
    mix.append(v)
source = {"classes": [
    {"name": "Other", "number": -3, "members": [{"name": "name", "type": "string"}],
     "objects": [{"id": "o%d" % k, "values": {"name": others[k]}} for k in range(3)]},
    {"name": "Mix", "number": 42,
     "members": [{"name": m, "type": t, "nullable": m != "sn"} for m, t in mix_members],
     "objects": [{"id": "m%d" % k, "values": v} for k, v in enumerate(mix)]},
    {"name": "Nulls", "number": 5, "members": [{"name": "text", "type": "string"}],
     "objects": [{"values": {"text": None}}, {"values": {"text": ""}}, {"values": {"text": "x"}}]},
    {"name": "Bare", "number": 6, "objects": [{}, {}]},
]}
ids = {"o%d" % k: "-3:%d" % k for k in range(3)}
ids.update({"m%d" % k: "42:%d" % k for k in range(n)})


def dump(fmt, cls):
    r = subprocess.run([WQDUMP, "--format", fmt, "--class", cls, repo], capture_output=True)
    check(r.returncode == 0 and r.stderr == b"", "%s %s: status %d, %r" % (fmt, cls, r.returncode, r.stderr))
    return r.stdout.decode("utf-8")


def bits(x):
    return struct.pack("<d", x)


def expect_double(text_or_number, want, what):
    got = float(text_or_number)
    check(bits(got) == bits(want), "%s: double %r, expected %r" % (what, text_or_number, want))


def compare(cls, members, objects, number, rows, as_json):
    """rows: list of dicts keyed by column name, values as the format gives them."""
    check(len(rows) == len(objects), "%s: %d rows, expected %d" % (cls, len(rows), len(objects)))
    id_key = "_id" if any(m == "id" for m, _ in members) else "id"
    for k, (row, obj) in enumerate(zip(rows, objects)):
        where = "%s row %d" % (cls, k)
        check(list(row.keys()) == [id_key] + [m for m, _ in members], where + ": columns " + repr(list(row.keys())))
        check(row[id_key] == "%d:%d" % (number, k), where + ": id " + repr(row[id_key]))
        values = obj.get("values", {})
        for m, t in members:
            got, want = row[m], values.get(m)
            what = "%s member %s" % (where, m)
            if t == "string":
                if as_json:
                    check(got == want, "%s: %r, expected %r" % (what, got, want))
                else:
                    check(got == (want or ""), "%s: %r, expected %r" % (what, got, want))
            elif t == "int":
                check(int(got) == (want or 0), "%s: %r, expected %r" % (what, got, want))
            elif t == "double":
                expect_double(got, 0.0 if want is None else want, what)
            elif t == "char":
                check(got == ("" if not want else chr(want)), "%s: %r, expected %r" % (what, got, want))
            elif t == "blob":
                check(got == (want or ""), "%s: blob of %d digits, expected %d" % (what, len(got), len(want or "")))
            elif t in ("ref", 8):
                expected = ids[want] if want else (None if as_json else "")
                check(got == expected, "%s: %r, expected %r" % (what, got, expected))
            else:
                check(got == (None if as_json else ""), "%s: %r for a member without values" % (what, got))


with tempfile.TemporaryDirectory() as work:
    src = os.path.join(work, "tables.json")
    repo = os.path.join(work, "tables.rtm")
    with open(src, "w", encoding="utf-8") as f:
        json.dump(source, f)
    made = subprocess.run([WQMAKE, src, repo], capture_output=True)
    if made.returncode != 0:
        print("wqmake failed:", made.stderr.decode())
        sys.exit(1)
    for c in source["classes"]:
        members = [(m["name"], m["type"]) for m in c.get("members", [])]
        objects = c.get("objects", [])
        text = dump("csv", c["name"])
        check(text.endswith("\r\n"), c["name"] + ": CSV lines end in CRLF")
        table = list(csv.reader(io.StringIO(text, newline=""), strict=True))
        header = table[0]
        rows = [dict(zip(header, r)) for r in table[1:]]
        check(all(len(r) == len(header) for r in table), c["name"] + ": CSV rows of unequal length")
        compare(c["name"], members, objects, c["number"], rows, False)
        lines = dump("jsonl", c["name"]).splitlines()
        rows = [json.loads(line) for line in lines]
        compare(c["name"], members, objects, c["number"], rows, True)
    # Null and the empty string differ in CSV: an empty field against "".
    text = dump("csv", "Nulls")
    check(text == 'id,text\r\n5:0,\r\n5:1,""\r\n5:2,x\r\n', "Nulls as CSV: " + repr(text))

for f in failures[:20]:
    print("FAILED:", f[:300])
print("%d passed, %d failed" % (checks - len(failures), len(failures)))
sys.exit(1 if failures else 0)

"""Fixtures of the wqstore tests: the tools of the build (WQMAKE and WQDUMP,
else build/wqmake and build/wqdump), the sample repository
(WQ_SAMPLE_REPOSITORY, else build/dravik.rtm) and a repository, built by wqmake, that
holds every type, null and edge value, with values given out of member
order so that the heap order differs from the member order."""
import json
import math
import os
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
WQMAKE = os.environ.get("WQMAKE", str(ROOT / "build" / "wqmake"))
WQDUMP = os.environ.get("WQDUMP", str(ROOT / "build" / "wqdump"))
SAMPLE = Path(os.environ.get("WQ_SAMPLE_REPOSITORY", str(ROOT / "build" / "dravik.rtm")))

STRINGS = [None, "", "plain", "a,b \"q\"", "two\nlines", "\u00e9t\u00e9 \u20ac \U0001F600", "x" * 5000]
INTS = [0, 1, -1, 2147483647, -2147483648]
DOUBLES = [0.0, -0.0, 1.5, 1 / 3, 1e308, 5e-324, "NaN", "Infinity", "-Infinity"]
CHARS = [0, 65, "\u00e9", 255, 1]
BLOBS = ["", "00", "ff00", "0123456789abcdef" * 100]

MIX_MEMBERS = [
    {"name": "s", "type": "string"},
    {"name": "i", "type": "int"},
    {"name": "d", "type": "double"},
    {"name": "c", "type": "char"},
    {"name": "b", "type": "blob"},
    {"name": "r", "type": "ref"},
    {"name": "r8", "type": 8},
    {"name": "z", "type": 7},
    {"name": "b2", "type": "blob"},
    {"name": "sn", "type": "string", "nullable": False, "number": 20},
]


def mix_objects(n):
    objects = []
    for k in range(n):
        v = {
            "sn": "required %d" % k,
            "b2": BLOBS[(k + 1) % len(BLOBS)],
            "s": STRINGS[k % len(STRINGS)],
            "i": INTS[k % len(INTS)],
            "d": DOUBLES[k % len(DOUBLES)],
            "c": CHARS[k % len(CHARS)],
            "b": BLOBS[k % len(BLOBS)],
            "r": [None, "m%d" % k, "m%d" % (n - 1 - k), "o1"][k % 4],
            "r8": None if k % 3 == 0 else "o%d" % (k % 2),
        }
        if k % 2:  # another order of the heap values
            v = dict(reversed(list(v.items())))
        objects.append({"id": "m%d" % k, "values": v})
    return objects


SOURCE = {
    "classes": [
        {"name": "Mix", "number": 42, "objectSize": 7, "members": MIX_MEMBERS, "objects": mix_objects(18)},
        {
            "name": "Other",
            "number": -3,
            "members": [{"name": "label", "type": "string"}],
            "objects": [{"id": "o%d" % k, "values": {"label": "other %d" % k}} for k in range(2)],
        },
        {"name": "Empty", "members": [{"name": "x", "type": "int"}], "objects": []},
        {"name": "Bare", "objects": [{"values": {}}, {"values": {}}]},
    ]
}


def run(*args, **kwargs):
    return subprocess.run(args, check=True, capture_output=True, **kwargs)


@pytest.fixture(scope="session")
def source_path(tmp_path_factory):
    path = tmp_path_factory.mktemp("src") / "mix.json"
    path.write_text(json.dumps(SOURCE, ensure_ascii=False), encoding="utf-8")
    return path


@pytest.fixture(scope="session")
def mix_repo(source_path):
    path = source_path.with_suffix(".rtm")
    run(WQMAKE, str(source_path), str(path))
    return path


@pytest.fixture(scope="session")
def sample_repo():
    if not SAMPLE.exists():
        pytest.skip("no sample repository %s" % SAMPLE)
    return SAMPLE


def dump_jsonl(path, class_name):
    out = run(WQDUMP, "--format", "jsonl", "--class", class_name, str(path)).stdout
    return [json.loads(line) for line in out.decode("utf-8").splitlines()]


def expected_value(member_type, value):
    """A JSON Lines value as wqstore gives it."""
    if member_type == "double" and isinstance(value, str):
        return float(value.replace("Infinity", "inf"))
    if member_type == "char":
        return value or None
    if member_type == "blob":
        return bytes.fromhex(value)
    return value


def same(a, b):
    """Equal, NaN equal to NaN and 0.0 told from -0.0."""
    if isinstance(a, float) and isinstance(b, float):
        return (math.isnan(a) and math.isnan(b)) or (a == b and math.copysign(1, a) == math.copysign(1, b))
    return type(a) is type(b) and a == b

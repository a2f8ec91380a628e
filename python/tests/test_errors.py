"""Failures: a missing file, a damaged one, and a file cut short while it is
open, which must never end the process."""
import os

import numpy as np
import pytest

import wqstore


def test_missing_file(tmp_path):
    path = tmp_path / "missing.rtm"
    with pytest.raises(wqstore.NotFoundError, match="missing.rtm: cannot open file: No such file") as caught:
        wqstore.open(path)
    assert caught.value.code == "not found"


@pytest.mark.parametrize("where", ["directory", "heap"])
def test_damaged_file(mix_repo, tmp_path, where):
    data = bytearray(mix_repo.read_bytes())
    data[80 if where == "directory" else len(data) - 3] ^= 0x10
    path = tmp_path / "damaged.rtm"
    path.write_bytes(bytes(data))
    if where == "directory":  # refused at open
        with pytest.raises(wqstore.DamagedError, match="damaged.rtm: .*checksum"):
            wqstore.open(path)
    else:  # only the whole check reads the heap's checksum
        with wqstore.open(path) as repo:
            with pytest.raises(wqstore.DamagedError, match="damaged.rtm: checksum mismatch in heap"):
                repo.validate()


def test_file_cut_short_while_open(tmp_path):
    n = 100_000
    path = tmp_path / "big.rtm"
    wqstore.write(path, [{"name": "T", "members": [{"name": "k", "type": "int"}, {"name": "s", "type": "string"}],
                          "objects": [(k + 1, "v") for k in range(n)]}])
    repo = wqstore.open(path)
    cls = repo["T"]
    column = cls.column("k")
    rows = cls.rows()
    next(rows)
    os.truncate(path, 4096)

    # The view handed out reads zeros where the file is gone.
    values = np.array(column)
    assert values[0] == 1 and values[-1] == 0
    assert np.count_nonzero(values) < 1024

    calls = [
        lambda: len(cls),
        lambda: cls.column("k"),
        lambda: cls.column("s"),
        lambda: cls.to_pandas(),
        lambda: list(cls.rows()),
        lambda: list(rows),  # the rest of an iteration begun before the cut
        lambda: repo.classes,
        lambda: repo["T"],
        lambda: repo.to_source(),
        lambda: repo.validate(),
    ]
    for call in calls:
        with pytest.raises(wqstore.ChangedOnDiskError, match="big.rtm: file changed since it was opened"):
            call()
    repo.close()

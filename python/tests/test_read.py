"""Reading: every value of every type, as rows, columns and DataFrames,
against wqdump's JSON Lines of the same file; the columns that are views of
the file."""
import numpy as np
import pytest

import wqstore
from conftest import dump_jsonl, expected_value, same

CLASSES = ["Mix", "Other", "Empty", "Bare"]


def expected_rows(path, cls):
    types = [m.type for m in cls.members]
    names = [m.name for m in cls.members]
    return [
        tuple(expected_value(t, line[n]) for t, n in zip(types, names))
        for line in dump_jsonl(path, cls.name)
    ]


def assert_rows_equal(got, want):
    assert len(got) == len(want)
    for k, (g, w) in enumerate(zip(got, want)):
        assert len(g) == len(w)
        for j, (a, b) in enumerate(zip(g, w)):
            assert same(a, b), "object %d, member %d: %r != %r" % (k, j, a, b)


def test_classes_and_members(mix_repo):
    with wqstore.open(mix_repo) as repo:
        assert [c.name for c in repo.classes] == CLASSES
        assert [c.number for c in repo.classes] == [42, -3, 43, 44]
        mix = repo["mix"]  # case-insensitive when no exact match
        assert (mix.name, mix.number, mix.object_size, len(mix)) == ("Mix", 42, 7, 18)
        assert [(m.name, m.number, m.type, m.nullable) for m in mix.members][-4:] == [
            ("r8", 7, "ref", True),
            ("z", 8, "type7", True),
            ("b2", 9, "blob", True),
            ("sn", 20, "string", False),
        ]
        assert "Other" in repo and "Nope" not in repo
        with pytest.raises(KeyError):
            repo["Nope"]
        with pytest.raises(KeyError):
            mix.column("nope")


@pytest.mark.parametrize("name", CLASSES)
def test_values_match_json_lines(mix_repo, name):
    with wqstore.open(mix_repo) as repo:
        cls = repo[name]
        want = expected_rows(mix_repo, cls)
        assert_rows_equal(list(cls.rows()), want)
        frame = cls.to_pandas()
        assert list(frame.columns) == [m.name for m in cls.members]
        assert list(frame.index) == list(range(len(cls)))
        if cls.members:  # itertuples of a frame without columns gives nothing
            assert_rows_equal(list(frame.itertuples(index=False, name=None)), want)
        for j, m in enumerate(cls.members):
            column = cls.column(m.name)
            assert_rows_equal([(v,) for v in column.tolist()], [(w[j],) for w in want])
            assert column.dtype == {"int": np.int32, "double": np.float64}.get(m.type, object)


def test_sample_rows_match_json_lines(sample_repo):
    with wqstore.open(sample_repo) as repo:
        for cls in repo.classes:
            assert_rows_equal(list(cls.rows()), expected_rows(sample_repo, cls))


def test_rows_span_batches(tmp_path):
    n = 10000  # more than one batch of rows
    path = tmp_path / "many.rtm"
    wqstore.write(path, [{"name": "T", "members": [{"name": "k", "type": "int"}, {"name": "s", "type": "string"}],
                          "objects": [(k, str(k)) for k in range(n)]}])
    with wqstore.open(path) as repo:
        cls = repo["T"]
        assert list(cls.rows()) == [(k, str(k)) for k in range(n)]
        assert list(cls.to_pandas(9990, 20000)["k"]) == list(range(9990, n))
        assert list(cls.to_pandas(9990, 20000).index) == list(range(9990, n))


@pytest.mark.parametrize("member", ["i", "d"])
def test_numeric_columns_are_views_of_the_file(mix_repo, member):
    repo = wqstore.open(mix_repo)
    mix = repo["Mix"]
    first, second = mix.column(member), mix.column(member)
    assert np.shares_memory(first, second)
    assert not first.flags.owndata and not first.flags.writeable
    with pytest.raises(ValueError):
        first[0] = 1
    repo.close()  # the arrays keep the file mapped
    del mix
    assert same(float(first[1]), float(second[1]))
    with pytest.raises(wqstore.Error, match="repository is closed"):
        repo.classes


def test_object_columns_are_not_views(mix_repo):
    with wqstore.open(mix_repo) as repo:
        column = repo["Mix"].column("s")
        assert column.dtype == object and column.flags.owndata

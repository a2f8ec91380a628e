"""Writing: a repository read into Python and written back is the same file
byte for byte; values from numpy and pandas are taken; faults are refused
with wqmake's wording and leave the target as it was."""
import pytest

import wqstore


@pytest.mark.parametrize("fixture", ["mix_repo", "sample_repo"])
def test_round_trip_is_byte_identical(request, tmp_path, fixture):
    original = request.getfixturevalue(fixture)
    with wqstore.open(original) as repo:
        classes = repo.to_source()
    copy = tmp_path / "copy.rtm"
    wqstore.write(copy, classes)
    assert copy.read_bytes() == original.read_bytes()


def test_values_from_a_data_frame(mix_repo, tmp_path):
    with wqstore.open(mix_repo) as repo:
        classes = repo.to_source()
        for c in classes:
            frame = repo[c["name"]].to_pandas()
            if c["members"]:
                c["objects"] = list(frame.itertuples(index=False, name=None))
            want = {c.name: list(c.rows()) for c in repo.classes}
    copy = tmp_path / "copy.rtm"
    wqstore.write(copy, {"classes": classes})
    with wqstore.open(copy) as repo:
        repo.validate()
        got = {c.name: list(c.rows()) for c in repo.classes}
    assert repr(got) == repr(want)  # repr tells NaN, -0.0 and the types apart


def one_class(members, objects):
    return [{"name": "T", "number": 5, "members": members, "objects": objects}]


INT = [{"name": "k", "type": "int"}]
REQUIRED = [{"name": "s", "type": "string", "nullable": False}]
CHAR = [{"name": "c", "type": "char"}]
WHERE = 'class "T", object #1, member "%s": '


@pytest.mark.parametrize(
    "classes, message",
    [
        (one_class(INT, [{"k": "7"}]), WHERE % "k" + "expected an integer, not a string"),
        (one_class(INT, [{"k": True}]), WHERE % "k" + "expected an integer, not a boolean"),
        (one_class(INT, [{"k": 1.0}]), WHERE % "k" + "expected an integer, not a float"),
        (one_class(INT, [{"k": 2**31}]), WHERE % "k" + r"integer out of range \(-2147483648 to 2147483647\)"),
        (one_class([{"name": "d", "type": "double"}], [{"d": 10**400}]), WHERE % "d" + "number out of range"),
        (one_class(REQUIRED, [{"s": None}]), WHERE % "s" + "null given for a member that is not nullable"),
        (one_class(REQUIRED, [{}]), 'class "T", object #1: no value for member "s", which is not nullable'),
        (one_class(REQUIRED, [{"s": "a\0b"}]), WHERE % "s" + r"a string value cannot hold U\+0000"),
        (one_class(CHAR, [{"c": "ab"}]), WHERE % "c" + r"expected a one-character string in U\+0000 to U\+00FF"),
        (one_class(CHAR, [{"c": "\u20ac"}]), WHERE % "c" + r"expected a one-character string in U\+0000 to U\+00FF"),
        (one_class(CHAR, [{"c": 256}]), WHERE % "c" + r"character code out of range \(0 to 255\)"),
        (one_class([{"name": "b", "type": "blob"}], [{"b": "00ff"}]), WHERE % "b" + "expected bytes, not a string"),
        (one_class([{"name": "z", "type": 7}], [{"z": 1}]), WHERE % "z" + "a member of type code 7 takes no value"),
        (one_class([{"name": "r", "type": "ref"}], [{"r": "5:1"}]), WHERE % "r" + 'unknown object id "5:1"'),
        (one_class([{"name": "r", "type": "ref"}], [{"r": "p1"}]), WHERE % "r" + '"p1" is not an object id'),
        (one_class(INT, [{"q": 1}]), 'class "T", object #1: unknown member "q"'),
        (one_class(INT, [(1, 2)]), 'class "T", object #1: 2 values for 1 members'),
        (one_class(INT, [7]), 'class "T", object #1: expected a dict of values by member name or a sequence'),
        (one_class([{"name": "k", "type": "float"}], []), 'class "T", member "k": "type" must be a code 0 to 255'),
        (one_class([{"name": "k"}], []), 'class "T", member "k": missing key "type"'),
        ([{"name": "T", "objectsize": 4}], 'class "T": unknown key "objectsize"'),
        ([{"name": "T", "number": "1"}], 'class "T": "number" must be an integer, not a string'),
        ([{"number": 1}], 'class #1: missing key "name"'),
        ([{"name": "T"}, {"name": "T"}], 'duplicate class name "T"'),
        ([{"name": "T", "number": 1}, {"name": "U", "number": 1}], 'class "U": duplicate class number 1'),
    ],
)
def test_faults_are_refused_with_wqmake_wording(tmp_path, classes, message):
    target = tmp_path / "t.rtm"
    target.write_bytes(b"before")
    with pytest.raises(wqstore.Error, match="^" + message) as caught:
        wqstore.write(target, classes)
    assert caught.value.code == "invalid argument"
    assert target.read_bytes() == b"before"


def test_defaults_and_forward_references(tmp_path):
    path = tmp_path / "t.rtm"
    wqstore.write(path, [
        {"name": "A", "members": [{"name": "to", "type": "ref"}, {"name": "c", "type": "char"}],
         "objects": [{"to": "2:1"}, {"c": None}]},
        {"name": "B", "members": [{"name": "n", "type": "int"}], "objects": [(1,), (2,)]},
    ])
    with wqstore.open(path) as repo:
        assert [(c.name, c.number) for c in repo.classes] == [("A", 1), ("B", 2)]
        assert [m.number for m in repo["A"].members] == [1, 2]
        assert list(repo["A"].rows()) == [("2:1", None), (None, None)]

#!/usr/bin/python3
"""The SQLite extension through the real sqlite3 shell and Python's sqlite3
module: every value type and null against wqdump's JSON Lines of the same
class, the catalogue functions, joins over references, GROUP BY, seeks by
rowid and wq_id with their plans, rowid bounds against a native table, the
read-only errors, CREATE's refusals (a damaged file with wqcheck --quick's
reason), a file cut short or rewritten during a query, and one open file per
connection.

Usage: run.py WQMAKE WQDUMP WQCHECK EXTENSION  (EXTENSION without ".so")"""
import json
import math
import os
import re
import shutil
import sqlite3
import struct
import subprocess
import sys
import tempfile
import unittest

WQMAKE, WQDUMP, WQCHECK, EXTENSION = sys.argv[1:5]
SQLITE3 = shutil.which("sqlite3") or "/usr/bin/sqlite3"
SQLITE_READONLY = 8

STRINGS = [None, "", "plain", "it's", 'say "hi"', "two\nlines", "\u00e9t\u00e9 \u20ac \U0001F600",
           "\u0001\u007f", "long " * 5000]
INTS = [0, 1, -1, 2147483647, -2147483648]
DOUBLES = [0.0, -0.0, 0.1, 1 / 3, -1.5, 1e308, 5e-324, "NaN", "Infinity", "-Infinity"]
CHARS = [0, 1, 10, 39, 65, 127, 128, 233, 255]
BLOBS = ["", "00", "ff00", "0123456789abcdef" * 300]
BIG = 50000  # objects of class Big: scans of it pass many change checks


def every_class():
    """Class Every (7): a member of each type, and of codes 8, 7 and 200."""
    members = [("s", "string"), ("i", "int"), ("d", "double"), ("c", "char"), ("b", "blob"),
               ("r", "ref"), ("r8", 8), ("x7", 7), ("x200", 200)]
    rows = max(len(STRINGS), len(INTS), len(DOUBLES), len(CHARS), len(BLOBS))
    objects = []
    for k in range(rows):
        values = {"s": STRINGS[k % len(STRINGS)], "i": INTS[k % len(INTS)],
                  "d": DOUBLES[k % len(DOUBLES)], "c": CHARS[k % len(CHARS)],
                  "b": BLOBS[k % len(BLOBS)],
                  "r": None if k % 3 == 0 else ("w%d" % (k % 3) if k % 2 else "e%d" % (k - 1)),
                  "r8": "e0" if k % 2 else None}
        objects.append({"id": "e%d" % k, "values": values})
    return {"name": "Every", "number": 7,
            "members": [{"name": n, "type": t, "number": i + 1} for i, (n, t) in enumerate(members)],
            "objects": objects}


WAREHOUSES = [("w0", "Hamar"), ("w1", "Sevilla"), ("w2", "Brno")]
SHIPMENTS = [(k, "w%d" % (k * 7 % 4) if k * 7 % 4 < 3 else None, 10 + k) for k in range(40)]


def source():
    classes = [
        every_class(),
        {"name": "Warehouse", "number": 20,
         "members": [{"name": "city", "type": "string"}],
         "objects": [{"id": i, "values": {"city": c}} for i, c in WAREHOUSES]},
        {"name": "Shipment", "number": 41,
         "members": [{"name": "no", "type": "int"}, {"name": "warehouse", "type": "ref"},
                     {"name": "kg", "type": "int"}],
         "objects": [{"values": {"no": k, "warehouse": w, "kg": kg}} for k, w, kg in SHIPMENTS]},
        {"name": "Big", "number": 3,
         "members": [{"name": "n", "type": "int"}, {"name": "label", "type": "string"}],
         "objects": [{"values": {"n": k, "label": "label %d" % k}} for k in range(BIG)]},
        {"name": "Cased", "number": 50,
         "members": [{"name": "Weight", "type": "int"}, {"name": "weight", "type": "double"}],
         "objects": []},
    ]
    for number, name in enumerate(["ROWID", "oid", "_Rowid_", "WQ_ID"]):
        classes.append({"name": "Named%d" % number, "number": 60 + number,
                        "members": [{"name": "ok", "type": "int"}, {"name": name, "type": "int"}],
                        "objects": []})
    return {"classes": classes}


def run(*args, check=True):
    p = subprocess.run(args, capture_output=True)
    if check and p.returncode != 0:
        raise AssertionError("%s failed: %s" % (args[0], p.stderr.decode(errors="replace")))
    return p


def make(path, src):
    with open(path + ".json", "w") as f:
        json.dump(src, f)
    run(WQMAKE, path + ".json", path)


def connect():
    db = sqlite3.connect(":memory:")
    db.enable_load_extension(True)
    db.load_extension(EXTENSION)
    db.enable_load_extension(False)
    return db


def shell(*commands, mode="-list"):
    """sqlite3 on an in-memory database with the extension loaded."""
    return run(SQLITE3, mode, ":memory:", ".load " + EXTENSION, *commands, check=False)


def expected_rows(repo, cls):
    """wqdump's JSON Lines of the class, as the values SQLite should give."""
    types = {m["name"]: m["type"] for m in
             next(c for c in source()["classes"] if c["name"] == cls)["members"]}
    out = run(WQDUMP, "--format", "jsonl", "--class", cls, repo).stdout.decode()
    rows = []
    for line in out.splitlines():
        obj = json.loads(line)
        row = [obj.pop("id")]
        for name, v in obj.items():
            t = types[name]
            if t == "double":
                v = {"NaN": None, "Infinity": math.inf, "-Infinity": -math.inf}.get(v, v)
            elif t == "char":
                v = v or None
            elif t == "blob":
                v = bytes.fromhex(v)
            row.append(v)
        rows.append(row)
    return rows


def same(a, b, bits=True):
    """Equal values of equal types; doubles to the bit (the shell's quote
    mode writes -0.0 as 0.0, so there only to the value)."""
    if type(a) is not type(b):
        return False
    if isinstance(a, float) and bits:
        return struct.pack("<d", a) == struct.pack("<d", b)
    return a == b


QUOTED = re.compile(r"NULL|X'([0-9A-Fa-f]*)'|'((?:[^']|'')*)'|(-?[0-9][0-9.eE+-]*|-?Inf)|(,|\n)", re.S)


def parse_quote_mode(text):
    """Rows of the sqlite3 shell's quote mode: SQL literals and commas."""
    rows, row, pos = [], [], 0
    while pos < len(text):
        m = QUOTED.match(text, pos)
        if m is None:
            raise AssertionError("cannot read quote mode at %r" % text[pos:pos + 40])
        pos = m.end()
        literal = m.group(0)
        if m.group(4) == "\n":
            rows.append(row)
            row = []
        elif m.group(4) == ",":
            continue
        elif literal == "NULL":
            row.append(None)
        elif m.group(1) is not None:
            row.append(bytes.fromhex(m.group(1)))
        elif m.group(2) is not None:
            row.append(m.group(2).replace("''", "'"))
        elif re.fullmatch(r"-?[0-9]+", literal):
            row.append(int(literal))
        else:
            row.append(float(literal.replace("Inf", "inf")))
    return rows


class Extension(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="wqsqlite-")
        cls.repo = os.path.join(cls.tmp, "repo.rtm")
        make(cls.repo, source())

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def table(self, db, name, cls, path=None):
        db.execute("create virtual table %s using wqstore('%s', %s)" % (name, path or self.repo, cls))

    def test_values_match_json_lines_in_python_and_the_shell(self):
        for cls in ["Every", "Shipment", "Warehouse"]:
            want = expected_rows(self.repo, cls)
            db = connect()
            self.table(db, "t", cls)
            got_py = [list(r) for r in db.execute("select wq_id, * from t")]
            out = shell("create virtual table t using wqstore('%s', %s)" % (self.repo, cls),
                        "select wq_id, * from t", mode="-quote")
            self.assertEqual(out.returncode, 0, out.stderr)
            got_shell = parse_quote_mode(out.stdout.decode())
            for got, bits in ((got_py, True), (got_shell, False)):
                self.assertEqual(len(got), len(want), cls)
                for g, w in zip(got, want):
                    self.assertTrue(len(g) == len(w) and
                                    all(same(a, b, bits) for a, b in zip(g, w)), (cls, g, w))
        # The declared types of the columns.
        db = connect()
        self.table(db, "t", "Every")
        declared = [(r[1], r[2]) for r in db.execute("pragma table_xinfo(t)")]
        self.assertEqual(declared, [("s", "TEXT"), ("i", "INTEGER"), ("d", "REAL"), ("c", "TEXT"),
                                    ("b", "BLOB"), ("r", "TEXT"), ("r8", "TEXT"), ("x7", ""),
                                    ("x200", ""), ("wq_id", "TEXT")])

    def test_catalogue_functions(self):
        db = connect()
        src = source()["classes"]
        rows = db.execute("select number, name, object_size, object_count from wq_classes(?)",
                          (self.repo,)).fetchall()
        self.assertEqual([(r[0], r[1], r[3]) for r in rows],
                         [(c["number"], c["name"], len(c["objects"])) for c in src])
        members = db.execute("select * from wq_members(?, 'every')", (self.repo,)).fetchall()
        self.assertEqual(members, [(1, "s", "string", 1), (2, "i", "int", 1), (3, "d", "double", 1),
                                   (4, "c", "char", 1), (5, "b", "blob", 1), (6, "r", "ref", 1),
                                   (7, "r8", "ref", 1), (8, "x7", "type7", 1),
                                   (9, "x200", "type200", 1)])
        for sql, message in [("select * from wq_classes", "wq_classes takes the repository file"),
                             ("select * from wq_members('%s')" % self.repo, "wq_members takes"),
                             ("select * from wq_members('%s', 'Nope')" % self.repo,
                              'no class named "Nope"')]:
            with self.assertRaises(sqlite3.OperationalError) as e:
                db.execute(sql).fetchall()
            self.assertIn(message, str(e.exception))

    def test_join_group_by_and_plans(self):
        per_city = {}
        for _, w, kg in SHIPMENTS:
            if w is not None:
                city = dict(WAREHOUSES)[w]
                n, total = per_city.get(city, (0, 0))
                per_city[city] = (n + 1, total + kg)
        want = sorted((c, n, t) for c, (n, t) in per_city.items())
        join = ("select w.city, count(*), sum(s.kg) from s join w on w.wq_id = s.warehouse "
                "group by w.city order by w.city")
        create = ["create virtual table s using wqstore('%s', Shipment)" % self.repo,
                  "create virtual table w using wqstore(\"%s\", 'Warehouse')" % self.repo]
        db = connect()
        for sql in create:
            db.execute(sql)
        self.assertEqual(db.execute(join).fetchall(), want)
        out = shell(*create, join)
        self.assertEqual(out.stdout.decode(), "".join("%s|%d|%d\n" % r for r in want))
        # The reference side is sought, never scanned once per row.
        plans = {
            join: "SCAN w VIRTUAL TABLE INDEX 2:seek by wq_id",
            "select * from s where rowid = 5": "INDEX 1:seek by rowid",
            "select * from s where wq_id = '41:5'": "INDEX 2:seek by wq_id",
            "select * from s where rowid in (1, 5)": "INDEX 1:seek by rowid",
            "select * from s where rowid between 3 and 9": "rowid range",
        }
        for sql, step in plans.items():
            plan = "\n".join(r[3] for r in db.execute("explain query plan " + sql))
            self.assertIn(step, plan, sql)
            if sql != join:
                self.assertNotIn("INDEX 0", plan, sql)
        out = shell(*create, "explain query plan select kg from s where wq_id = '41:3'")
        self.assertIn("seek by wq_id", out.stdout.decode())

    def test_rowid_and_id_bounds_agree_with_a_native_table(self):
        db = connect()
        self.table(db, "t", "Shipment")
        db.execute("create table native(k integer primary key, wq_id text)")
        db.execute("insert into native select rowid, wq_id from t")
        clauses = [
            "rowid = 3", "rowid = 3.0", "rowid = 3.5", "rowid = '3'", "rowid = ' 3'",
            "rowid = 'x'", "rowid = NULL", "rowid = -1", "rowid = 40", "rowid = 1e300",
            "rowid = 9223372036854775807", "rowid > 2", "rowid >= 2.5", "rowid > 2.5",
            "rowid < 3.5", "rowid <= 3.5", "rowid <= -1", "rowid < 0", "rowid > 1e300",
            "rowid < -1e300", "rowid >= -9223372036854775808", "rowid > 'abc'", "rowid < 'abc'",
            "rowid > x'00'", "rowid between 1 and 4", "rowid > 30 and rowid > 35",
            "rowid > 1 and rowid < 4 and rowid != 2", "rowid in (0, 2, 99, '5', 6.5)",
            "wq_id = '41:2'", "wq_id = '41:02'", "wq_id = '20:2'", "wq_id = 2",
            "wq_id = '41:-1'", "wq_id = '41:40'", "wq_id = '41:2 '", "wq_id in ('41:1', '41:3')",
            "rowid = 2 and wq_id = '41:3'", "wq_id = NULL", "wq_id > '41:38'",
        ]
        for clause in clauses:
            got = db.execute("select rowid from t where %s order by rowid" % clause).fetchall()
            want = db.execute("select rowid from native where %s order by rowid"
                              % clause).fetchall()
            self.assertEqual(got, want, clause)
        self.assertEqual(db.execute("select kg from t where rowid = 7").fetchall(), [(17,)])

    def test_writes_fail_read_only(self):
        db = connect()
        self.table(db, "t", "Shipment")
        for sql in ["insert into t(no) values (1)", "update t set kg = 0", "delete from t"]:
            with self.assertRaises(sqlite3.OperationalError) as e:
                db.execute(sql)
            self.assertEqual(e.exception.sqlite_errorcode, SQLITE_READONLY, sql)
            self.assertIn("read-only", str(e.exception))
        out = shell("create virtual table t using wqstore('%s', Shipment)" % self.repo,
                    "delete from t")
        self.assertNotEqual(out.returncode, 0)
        self.assertIn("table t is read-only", out.stderr.decode())
        self.assertEqual(db.execute("select count(*) from t").fetchone(), (len(SHIPMENTS),))

    def test_create_refuses(self):
        damaged = os.path.join(self.tmp, "damaged.rtm")
        with open(self.repo, "rb") as f:
            image = bytearray(f.read())
        image[100] ^= 0x40  # in the directory
        with open(damaged, "wb") as f:
            f.write(image)
        quick = run(WQCHECK, "--quick", damaged, check=False).stdout.decode().strip()
        self.assertTrue(quick.startswith(damaged + ": ") and "ok" not in quick, quick)
        cases = [
            ("'%s', Every" % damaged, quick),
            ("'%s', Every" % os.path.join(self.tmp, "missing.rtm"), "cannot open file"),
            ("'%s', Nope" % self.repo, 'no class named "Nope"'),
            ("'%s'" % self.repo, "takes two arguments"),
            ("'%s', Every, x" % self.repo, "takes two arguments"),
            ("'%s', Cased" % self.repo, 'member "weight" would be the same SQL column as member '
                                        '"Weight"'),
            ("'%s', Named0" % self.repo, 'member "ROWID" cannot be a column'),
            ("'%s', Named1" % self.repo, 'member "oid" cannot be a column'),
            ("'%s', Named2" % self.repo, 'member "_Rowid_" cannot be a column'),
            ("'%s', Named3" % self.repo, 'member "WQ_ID" cannot be a column'),
        ]
        db = connect()
        for args, message in cases:
            with self.assertRaises(sqlite3.OperationalError) as e:
                db.execute("create virtual table t using wqstore(%s)" % args)
            self.assertIn(message, str(e.exception), args)
        out = shell("create virtual table t using wqstore('%s', Every)" % damaged)
        self.assertIn(quick, out.stderr.decode())

    def test_file_cut_short_or_rewritten_during_a_query(self):
        for change in ["truncate", "rewrite"]:
            path = os.path.join(self.tmp, "changing.rtm")
            shutil.copy(self.repo, path)
            db = connect()
            self.table(db, "t", "Big", path)
            rows = db.execute("select n, label from t")
            self.assertEqual(rows.fetchmany(10)[9], (9, "label 9"))
            if change == "truncate":
                os.truncate(path, os.path.getsize(path) // 2)
            else:
                with open(path, "r+b") as f:
                    f.seek(os.path.getsize(path) // 2)
                    f.write(b"\xff" * 16)
                st = os.stat(path)
                os.utime(path, ns=(st.st_atime_ns, st.st_mtime_ns + 10 ** 9))
            with self.assertRaises(sqlite3.OperationalError) as e:
                rows.fetchall()
            self.assertIn(path + ": file changed since it was opened", str(e.exception))
            # And every later query on it, whatever its plan.
            for sql in ["select count(*) from t", "select n from t where rowid = 1"]:
                with self.assertRaises(sqlite3.OperationalError):
                    db.execute(sql).fetchall()
            db.close()

    def test_one_open_file_per_connection(self):
        path = os.path.join(self.tmp, "shared.rtm")
        shutil.copy(self.repo, path)
        db = connect()
        self.table(db, "a", "Every", path)
        self.table(db, "b", "Shipment", os.path.join(self.tmp, ".", "shared.rtm"))
        db.execute("select count(*) from wq_classes(?)", (path,)).fetchall()

        def mappings():
            with open("/proc/self/maps") as f:
                return sum(1 for line in f if line.rstrip().endswith(path))

        self.assertEqual(mappings(), 1)
        # A file replaced by rename: the tables open before read the file
        # they opened; a table created now reads the new one.
        src = source()
        src["classes"][2]["objects"] = src["classes"][2]["objects"][:5]
        make(path, src)
        self.assertEqual(db.execute("select count(*) from b").fetchone(), (len(SHIPMENTS),))
        self.table(db, "c", "Shipment", path)
        self.assertEqual(db.execute("select count(*) from c").fetchone(), (5,))
        db.execute("drop table a")
        db.execute("drop table b")
        db.execute("drop table c")
        self.assertEqual(mappings(), 0)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

"""Times one operation of the Python package, inside the interpreter, so
that starting Python and importing pandas are not counted, and prints
"SECONDS 0" (bench/run's wall-time and memory record). Run by bench/run.

    python_timing.py frame REPO CLASS      wqstore.open(REPO)[CLASS].to_pandas()
    python_timing.py csv FILE              pandas.read_csv(FILE)
    python_timing.py column REPO CLASS M   CLASS.column(M), per call (the mean of 1000)
    python_timing.py rows REPO CLASS       sum(1 for _ in CLASS.rows()), per million rows
"""
import sys
import time

import pandas

import wqstore


def main(what, *args):
    if what == "frame":
        start = time.perf_counter()
        with wqstore.open(args[0]) as repo:
            frame = repo[args[1]].to_pandas()
        took = time.perf_counter() - start
        assert len(frame) > 0
    elif what == "csv":
        start = time.perf_counter()
        frame = pandas.read_csv(args[0])
        took = time.perf_counter() - start
        assert len(frame) > 0
    elif what == "column":
        with wqstore.open(args[0]) as repo:
            cls = repo[args[1]]
            calls = 1000
            start = time.perf_counter()
            for _ in range(calls):
                column = cls.column(args[2])
            took = (time.perf_counter() - start) / calls
            assert len(column) == len(cls)
    elif what == "rows":
        with wqstore.open(args[0]) as repo:
            cls = repo[args[1]]
            start = time.perf_counter()
            count = sum(1 for _ in cls.rows())
            took = time.perf_counter() - start
            assert count == len(cls)
            took *= 1e6 / count
    else:
        sys.exit("python_timing.py: unknown operation " + what)
    print("%.9f 0" % took)


if __name__ == "__main__":
    main(*sys.argv[1:])

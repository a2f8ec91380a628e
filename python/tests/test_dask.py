"""One class of 20 repositories through Dask, against sums worked out by
hand: on the local process pool and on a LocalCluster of two worker
processes."""
import math

import pytest

import wqstore

dask = pytest.importorskip("dask")
import wqstore.dask  # noqa: E402

FILES = 20


@pytest.fixture(scope="module")
def fleet(tmp_path_factory):
    folder = tmp_path_factory.mktemp("fleet")
    paths, total_k, total_w, count = [], 0, 0.0, 0
    for f in range(FILES):
        rows = [(f * 1000 + k, k / 8, None if k % 3 else "s%d" % k) for k in range(37 + f)]
        path = folder / ("r%02d.rtm" % f)
        wqstore.write(path, [
            {"name": "Other", "members": [{"name": "x", "type": "int"}], "objects": [(1,)]},
            {"name": "C", "members": [{"name": "k", "type": "int"}, {"name": "w", "type": "double"},
                                      {"name": "s", "type": "string"}], "objects": rows},
        ])
        paths.append(str(path))
        total_k += sum(r[0] for r in rows)
        total_w += sum(r[1] for r in rows)
        count += sum(r[2] is not None for r in rows)
    return paths, total_k, total_w, count


def check(frame, fleet):
    paths, total_k, total_w, count = fleet
    assert frame.npartitions == len(paths)
    assert list(frame.columns) == ["k", "w", "s"]
    k, w, s = dask.compute(frame["k"].sum(), frame["w"].sum(), frame["s"].count())
    assert (int(k), int(s)) == (total_k, count)
    assert math.isclose(w, total_w)


def test_read_class_on_a_process_pool(fleet):
    with dask.config.set(scheduler="processes", num_workers=2):
        check(wqstore.dask.read_class(fleet[0], "C"), fleet)


def test_read_class_on_a_local_cluster(fleet):
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, distributed.Client(cluster):
        check(wqstore.dask.read_class(fleet[0], "C"), fleet)

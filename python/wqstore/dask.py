"""One class of many repositories as a Dask DataFrame.

    >>> import wqstore.dask
    >>> parts = wqstore.dask.read_class(["a.rtm", "b.rtm"], "Part")
    >>> parts["weight"].sum().compute()

Each file is one partition, read where the scheduler runs the task: in this
process, in a local process pool, or on the workers of a Dask cluster, which
must see the files at the same paths (for instance on a shared or
replicated file system). The client reads no file itself.
"""

from __future__ import annotations

import os
from typing import Iterable, Optional, Union

import dask
import dask.dataframe as dd
import pandas as pd

from . import open as _open

PathLike = Union[str, "os.PathLike[str]"]


def _read_partition(path: str, class_name: str) -> pd.DataFrame:
    with _open(path) as repo:
        return repo[class_name].to_pandas()


def _empty_frame(path: str, class_name: str) -> pd.DataFrame:
    with _open(path) as repo:
        return repo[class_name].to_pandas(0, 0)


def read_class(
    paths: Iterable[PathLike], class_name: str, meta: Optional[pd.DataFrame] = None
) -> dd.DataFrame:
    """The objects of class `class_name` of every file in `paths` as one
    dask DataFrame, one partition per file in the order given, each indexed
    by the objects' positions in its file (so the index repeats across
    partitions). The columns are those of Class.to_pandas().

    `meta`, an empty DataFrame with the columns and dtypes, is by default
    read from the first file by a task on the current scheduler. A file
    that lacks the class, or whose class has other columns, fails the
    computation that reads it.
    """
    paths = [os.fspath(p) for p in paths]
    if not paths:
        raise ValueError("read_class needs at least one path")
    if meta is None:
        meta = dask.delayed(_empty_frame)(paths[0], class_name).compute()
    return dd.from_map(
        _read_partition,
        paths,
        args=(class_name,),
        meta=meta,
        label="wqstore-read-class",
        enforce_metadata=True,
    )

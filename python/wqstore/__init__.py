"""Repository files of the wqsql store, from Python.

Open a repository, walk its classes and read their objects as tuples, one
member's values as a numpy array (int and double members without a copy)
or a whole class as a pandas DataFrame; build a repository from Python data
with write(); read a class from many repositories at once on Dask with
wqstore.dask.read_class().

    >>> import wqstore
    >>> with wqstore.open("dravik.rtm") as repo:
    ...     part = repo["Part"]
    ...     weights = part.column("weight")      # float64 view of the file
    ...     frame = part.to_pandas()

Values are what wqdump's JSON Lines give for the class: int, float (NaN and
the infinities as such), str or None, a one-character str or None (code 0)
for a char, bytes for a blob, and the id "CLASSNUMBER:POSITION" or None for
a reference.

Every failure of the store raises wqstore.Error (NotFoundError,
DamagedError, ChangedOnDiskError) with the store's message. A file cut
short while it is open never ends the process: every call after the cut
raises ChangedOnDiskError, and arrays already handed out read zeros where
the file is gone.
"""

from ._wqstore import (
    ChangedOnDiskError,
    Class,
    DamagedError,
    Error,
    Member,
    NotFoundError,
    Repository,
    __version__,
    open,
    write,
)

__all__ = [
    "ChangedOnDiskError",
    "Class",
    "DamagedError",
    "Error",
    "Member",
    "NotFoundError",
    "Repository",
    "open",
    "write",
]

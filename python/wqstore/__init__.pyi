# Types of the wqstore package (the extension module _wqstore re-exported).
import os
from typing import Any, Dict, Iterable, Iterator, List, Mapping, Optional, Sequence, Tuple, Union

import numpy
import pandas

PathLike = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]
# int, float, str, bytes or None: what a member's value is in Python.
Value = Union[int, float, str, bytes, None]

__version__: str

class Error(Exception):
    """A failure of the store; `code` names its kind."""
    code: str

class NotFoundError(Error):
    """No such repository file."""

class DamagedError(Error):
    """The file breaks a rule of the repository format."""

class ChangedOnDiskError(Error):
    """The open file was changed or cut short since it was opened."""

class Member:
    """A member of a class."""
    @property
    def name(self) -> str: ...
    @property
    def number(self) -> int: ...
    @property
    def type(self) -> str:
        """"string", "int", "double", "char", "blob", "ref", or "type" and the code."""
    @property
    def type_code(self) -> int: ...
    @property
    def nullable(self) -> bool: ...

class Class:
    """A class of an open repository."""
    @property
    def name(self) -> str: ...
    @property
    def number(self) -> int: ...
    @property
    def object_size(self) -> int: ...
    @property
    def members(self) -> List[Member]: ...
    def __len__(self) -> int:
        """The number of objects; reads none of them."""
    def rows(self) -> Iterator[Tuple[Value, ...]]:
        """The objects as tuples of values in member order."""
    def column(self, name: str) -> numpy.ndarray:
        """One member's values: a read-only view of the file for int and
        double members, an object array otherwise. KeyError for no such
        member."""
    def to_pandas(self, start: int = 0, stop: Optional[int] = None) -> pandas.DataFrame:
        """The objects [start, stop) as a DataFrame indexed by position."""
    def to_source(self) -> Dict[str, Any]:
        """The class as an item of the list write() takes."""

class Repository:
    """A repository file opened read-only."""
    def __init__(self, path: PathLike) -> None: ...
    @property
    def path(self) -> str: ...
    @property
    def closed(self) -> bool: ...
    @property
    def classes(self) -> List[Class]:
        """The classes, in stored order."""
    def __getitem__(self, name: str) -> Class:
        """The class of that name (exact, else ignoring case); KeyError if none."""
    def __contains__(self, name: str) -> bool: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[Class]: ...
    def validate(self) -> None:
        """Checks the whole file as wqcheck does; DamagedError with the first fault."""
    def to_source(self) -> List[Dict[str, Any]]:
        """Every class as write() takes it."""
    def close(self) -> None: ...
    def __enter__(self) -> "Repository": ...
    def __exit__(self, *args: object) -> None: ...

def open(path: PathLike) -> Repository:
    """Opens a repository file read-only."""

def write(
    path: PathLike,
    classes: Union[Iterable[Mapping[str, Any]], Mapping[str, Any]],
) -> None:
    """Builds a repository from class dicts (the keys of a wqmake source:
    name, number, objectSize, members, objects) and writes it atomically.
    Objects are dicts of values by member name or sequences in member
    order; references are ids "CLASSNUMBER:POSITION"."""

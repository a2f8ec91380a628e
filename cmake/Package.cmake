# `cpack -G DEB` in the build folder: wqsql_VERSION_ARCH.deb with everything
# `cmake --install` puts in place, under /usr. The dependencies come from
# dpkg-shlibdeps (package dpkg-dev).
set(WQ_PACKAGE_MAINTAINER "the wqsql developers <wqsql@example.org>"
  CACHE STRING "Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME wqsql)
set(CPACK_PACKAGE_VENDOR "the wqsql developers")
set(CPACK_PACKAGE_CONTACT "${WQ_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "query shell and tools for single-file object repositories")
# The long description, in lines short enough for the package's control file.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "wqsql is an interactive query shell for single-file object repositories:\n"
  "connect to a repository, describe its classes, list the catalogue with\n"
  "statistics and print the objects of a class as fixed-width tables.\n"
  "\n"
  "wqmake builds a repository from a JSON source, wqdump writes one out as\n"
  "JSON, CSV or JSON Lines, and wqcheck validates repository files.\n"
  "\n"
  "The package also holds the store library that reads, writes and\n"
  "validates the files: static libraries, headers, a CMake package and a\n"
  "pkg-config file, and the Python package wqstore when it was built.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${CMAKE_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${WQ_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The shell's pager on a terminal; what the Python package wqstore uses.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "less, python3-numpy, python3-pandas, python3-dask")

set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/\\\\.git$" "/build[^/]*/" "/bench/data/" "\\\\.rtm$" "\\\\.tmp$")

include(CPack)

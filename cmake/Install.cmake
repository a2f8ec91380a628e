# What `cmake --install` puts where (GNUInstallDirs under the prefix): the
# programs and their manual pages, the SQLite extension and its page, the
# documents and the sample source, and
# the store library for programs of one's own: its public headers, the
# shared library and the static archive, a CMake package (find_package(wqstore),
# targets wqstore::wqstore and wqstore::wqstore_static) and pkg-config files
# (wqstore.pc, wqstore-static.pc).
include(CMakePackageConfigHelpers)

# The programs and their pages. wqdump and wqcheck are installed when the
# build has them.
install(TARGETS wqsql wqmake RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES docs/man/wqsql.1 docs/man/wqmake.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET wqdump)
  install(TARGETS wqdump RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES docs/man/wqdump.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
if(TARGET wqcheck)
  install(TARGETS wqcheck RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES docs/man/wqcheck.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES docs/man/wqsource.5 DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)

# Completion of the programs' command lines: one bash script under each
# program's name, where bash-completion loads it on first use, and one zsh
# function _NAME each, in the folder of the zsh package's vendor functions.
# The zsh files differ only in their #compdef line; the build makes them in
# completion/zsh/.
foreach(program wqsql wqmake wqdump wqcheck)
  install(FILES completion/wq.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
    RENAME ${program})
  set(WQ_COMMAND ${program})
  configure_file(completion/wq.zsh.in ${CMAKE_BINARY_DIR}/completion/zsh/_${program} @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/completion/zsh/_${program}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
endforeach()

# The SQLite extension goes where the distribution keeps SQLite modules, the
# library folder (multiarch on Debian), so that `.load wqstore` finds it.
install(TARGETS wqstore_sqlite LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES docs/man/wqstore-sqlite.7 DESTINATION ${CMAKE_INSTALL_MANDIR}/man7)

install(FILES README.md CHANGELOG.md LICENSE docs/format.md docs/python.md debian/copyright
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES examples/dravik.json DESTINATION ${CMAKE_INSTALL_DATADIR}/wqsql/examples)

# The store library: its public headers as <wqstore/...>, the shared
# library (with its SONAME link and the development link) and the static
# archive, both exported as wqstore::wqstore and wqstore::wqstore_static.
file(GLOB WQ_PUBLIC_HEADERS ${CMAKE_SOURCE_DIR}/include/wqstore/*.h)
install(FILES ${WQ_PUBLIC_HEADERS} ${CMAKE_BINARY_DIR}/include/wqstore/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/wqstore)
install(TARGETS wqstore_shared wqstore_static EXPORT wqstoreTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
# A stripped install (`cmake --install --strip`) strips the shared library;
# the archive loses its debugging information only, which is nearly all of
# its size.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(installed_libdir "${CMAKE_INSTALL_LIBDIR}")
else()
  set(installed_libdir "\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(CMAKE_STRIP)
  install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug
      \"\$ENV{DESTDIR}${installed_libdir}/libwqstore.a\")
  endif()")
endif()

set(WQ_STORE_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/wqstore)
install(EXPORT wqstoreTargets NAMESPACE wqstore:: DESTINATION ${WQ_STORE_CMAKEDIR})
configure_package_config_file(cmake/wqstoreConfig.cmake.in
  ${CMAKE_BINARY_DIR}/packaging/wqstoreConfig.cmake INSTALL_DESTINATION ${WQ_STORE_CMAKEDIR})
# 0.x: a minor version may change the interface.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/packaging/wqstoreConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/packaging/wqstoreConfig.cmake
              ${CMAKE_BINARY_DIR}/packaging/wqstoreConfigVersion.cmake
  DESTINATION ${WQ_STORE_CMAKEDIR})

# The pkg-config file finds the prefix from its own place, so it stays right
# for `cmake --install --prefix DIR`, DESTDIR and the package alike.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(WQ_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(WQ_PC_LIBDIR "${CMAKE_INSTALL_FULL_LIBDIR}")
  set(WQ_PC_INCLUDEDIR "${CMAKE_INSTALL_FULL_INCLUDEDIR}")
else()
  file(RELATIVE_PATH pc_to_prefix /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
  string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
  set(WQ_PC_PREFIX "\${pcfiledir}/${pc_to_prefix}")
  set(WQ_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
  set(WQ_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
# wqstore.pc links the shared library, wqstore-static.pc the archive.
configure_file(cmake/wqstore.pc.in ${CMAKE_BINARY_DIR}/packaging/wqstore.pc @ONLY)
configure_file(cmake/wqstore-static.pc.in ${CMAKE_BINARY_DIR}/packaging/wqstore-static.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/wqstore.pc ${CMAKE_BINARY_DIR}/packaging/wqstore-static.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

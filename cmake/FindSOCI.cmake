# SPDX-License-Identifier: GPL-3.0-or-later
# SOCI as Debian ships it (libsoci-dev), which carries no CMake or pkg-config file: the
# headers and the core, SQLite and PostgreSQL libraries, as SOCI::core, SOCI::sqlite3 and
# SOCI::postgresql. Both back ends are linked and registered by the program, so none is
# loaded by name at run time.
find_path(SOCI_INCLUDE_DIR soci/soci.h)
find_library(SOCI_CORE_LIBRARY soci_core)
find_library(SOCI_SQLITE3_LIBRARY soci_sqlite3)
find_library(SOCI_POSTGRESQL_LIBRARY soci_postgresql)
find_path(SOCI_POSTGRESQL_INCLUDE_DIR libpq-fe.h PATH_SUFFIXES postgresql)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(SOCI REQUIRED_VARS SOCI_INCLUDE_DIR SOCI_CORE_LIBRARY
  SOCI_SQLITE3_LIBRARY SOCI_POSTGRESQL_LIBRARY SOCI_POSTGRESQL_INCLUDE_DIR)

if(SOCI_FOUND AND NOT TARGET SOCI::core)
  add_library(SOCI::core UNKNOWN IMPORTED)
  set_target_properties(SOCI::core PROPERTIES IMPORTED_LOCATION ${SOCI_CORE_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${SOCI_INCLUDE_DIR})
  add_library(SOCI::sqlite3 UNKNOWN IMPORTED)
  set_target_properties(SOCI::sqlite3 PROPERTIES IMPORTED_LOCATION ${SOCI_SQLITE3_LIBRARY}
    INTERFACE_LINK_LIBRARIES SOCI::core)
  add_library(SOCI::postgresql UNKNOWN IMPORTED)
  set_target_properties(SOCI::postgresql PROPERTIES IMPORTED_LOCATION ${SOCI_POSTGRESQL_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${SOCI_POSTGRESQL_INCLUDE_DIR}
    INTERFACE_LINK_LIBRARIES SOCI::core)
endif()
mark_as_advanced(SOCI_INCLUDE_DIR SOCI_CORE_LIBRARY SOCI_SQLITE3_LIBRARY
  SOCI_POSTGRESQL_LIBRARY SOCI_POSTGRESQL_INCLUDE_DIR)

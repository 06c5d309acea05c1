# FindCLI11: the header-only command-line parser CLI11 as Debian installs it (/usr/include/CLI),
# as the target CLI11::CLI11. The package's own config file names /usr/include as a whole; a
# cross build must not search there (the host's C library headers lie there), so it gets a
# folder of its own in the build tree that holds only CLI/.
find_path(CLI11_INCLUDE_DIR CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(CLI11 REQUIRED_VARS CLI11_INCLUDE_DIR)

if(CLI11_FOUND AND NOT TARGET CLI11::CLI11)
  set(cli11_include ${CLI11_INCLUDE_DIR})
  if(CMAKE_CROSSCOMPILING)
    set(cli11_include ${CMAKE_BINARY_DIR}/cli11-include)
    file(MAKE_DIRECTORY ${cli11_include})
    file(CREATE_LINK ${CLI11_INCLUDE_DIR}/CLI ${cli11_include}/CLI SYMBOLIC)
  endif()
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${cli11_include})
endif()

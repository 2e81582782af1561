# Runs at install time (dist/CMakeLists.txt sets VANTRO_DESKTOP_IN, VANTRO_DESKTOP_OUT,
# VANTRO_BINDIR and VANTRO_APPLICATIONS_DIR): writes the desktop entry with the installed
# dialer's full path in Exec and installs it.
get_filename_component(prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
if(IS_ABSOLUTE "${VANTRO_BINDIR}")
  set(program "${VANTRO_BINDIR}/vantro-dialer")
else()
  set(program "${prefix}/${VANTRO_BINDIR}/vantro-dialer")
endif()

# Exec is a command line: a path with other characters than these goes in double quotes, inside
# which \ " ` $ take a backslash. The entry's string escapes then double every backslash, and a
# literal % is written %%. A line break cannot be written at all.
if(program MATCHES "[\n\r\t]")
  message(FATAL_ERROR "The program's path has a control character: ${program}")
endif()
set(exec "${program}")
if(NOT exec MATCHES "^[A-Za-z0-9/._+-]+$")
  string(REPLACE "\\" "\\\\" exec "${exec}")
  string(REPLACE "\"" "\\\"" exec "${exec}")
  string(REPLACE "`" "\\`" exec "${exec}")
  string(REPLACE "$" "\\$" exec "${exec}")
  set(exec "\"${exec}\"")
  string(REPLACE "\\" "\\\\" exec "${exec}")
endif()
string(REPLACE "%" "%%" exec "${exec}")

configure_file("${VANTRO_DESKTOP_IN}" "${VANTRO_DESKTOP_OUT}" @ONLY)
file(INSTALL "${VANTRO_DESKTOP_OUT}" DESTINATION "${prefix}/${VANTRO_APPLICATIONS_DIR}")

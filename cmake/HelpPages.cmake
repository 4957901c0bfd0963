# --help texts and manual pages: each program has one source text, man/PROGRAM.txt,
# from which ruk_helpgen writes help/PROGRAM_help.h (compiled into the
# program) and man/PROGRAM.1 (installed) at build time.

add_library(rukhelptext STATIC tools/helptext/HelpText.cpp)
list(APPEND RUK_LIBRARIES rukhelptext)

add_executable(ruk_helpgen tools/helptext/helpgen.cpp)
target_link_libraries(ruk_helpgen PRIVATE rukhelptext)

set(RUK_MAN_PAGES "")
function(ruk_help_pages program)
  set(source ${CMAKE_SOURCE_DIR}/man/${program}.txt)
  set(header ${CMAKE_BINARY_DIR}/generated/help/${program}_help.h)
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
  add_custom_command(OUTPUT ${header} ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated/help ${CMAKE_BINARY_DIR}/man
    COMMAND ruk_helpgen ${source} ${PROJECT_VERSION} ${header} ${page}
    DEPENDS ruk_helpgen ${source}
    COMMENT "Help text and manual page of ${program}")
  target_sources(${program} PRIVATE ${header})
  target_include_directories(${program} PRIVATE ${CMAKE_BINARY_DIR}/generated)
  set(RUK_MAN_PAGES ${RUK_MAN_PAGES} ${page} PARENT_SCOPE)
endfunction()

ruk_help_pages(rukc)
if(TARGET rukengine)
  ruk_help_pages(rukengine)
endif()

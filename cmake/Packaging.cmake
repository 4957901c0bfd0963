# Installing the engine (cmake --install, prefix-relative and DESTDIR-friendly)
# and packing it as a Debian package (cpack -G DEB). docs/install.md explains.
include(GNUInstallDirs)

# The programs go to bin and their modules to lib/rukengine: host/ModuleFolder
# finds modules from the program's own folder, so both places are fixed
# relative to each other (whatever the prefix).
set(RUK_INSTALL_BINDIR bin)
set(RUK_INSTALL_MODULEDIR lib/rukengine)
set(RUK_INSTALL_DATADIR ${CMAKE_INSTALL_DATAROOTDIR}/rukengine)

install(TARGETS rukc RUNTIME DESTINATION ${RUK_INSTALL_BINDIR})
if(TARGET rukengine)
  install(TARGETS rukengine RUNTIME DESTINATION ${RUK_INSTALL_BINDIR})
endif()

# Every module the build makes (a MODULE library outside the tests) is
# installed, whichever folder defines it.
function(ruk_collect_modules dir result)
  set(found "")
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "MODULE_LIBRARY")
      list(APPEND found ${target})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir ${subdirs})
    if(NOT subdir MATCHES "/(tests|bench|fuzz)$")
      ruk_collect_modules(${subdir} below)
      list(APPEND found ${below})
    endif()
  endforeach()
  set(${result} ${found} PARENT_SCOPE)
endfunction()
ruk_collect_modules(${CMAKE_SOURCE_DIR} RUK_MODULES)
if(RUK_MODULES)
  install(TARGETS ${RUK_MODULES} LIBRARY DESTINATION ${RUK_INSTALL_MODULEDIR})
endif()

install(FILES ${RUK_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The examples: their sources, and each built as a package (NAME.ruk) that a
# double click runs.
file(GLOB RUK_EXAMPLE_DIRS LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/examples/*)
set(RUK_EXAMPLE_PACKAGES "")
foreach(dir ${RUK_EXAMPLE_DIRS})
  if(NOT IS_DIRECTORY ${dir})
    continue()
  endif()
  get_filename_component(name ${dir} NAME)
  string(SUBSTRING ${name} 0 16 id)
  file(GLOB_RECURSE files CONFIGURE_DEPENDS ${dir}/*)
  # The package holds the code and the example's own files; its sources and
  # the gallery test's picture (snapshot.png) stay out.
  set(members identity.qexe)
  foreach(file ${files})
    get_filename_component(member ${file} NAME)
    if(NOT member MATCHES "\\.[rR][kK][sS]$" AND NOT member STREQUAL "snapshot.png")
      list(APPEND members ${member})
    endif()
  endforeach()
  list(JOIN members "^^" filter)
  set(package ${CMAKE_BINARY_DIR}/examples/${name}.ruk)
  add_custom_command(OUTPUT ${package}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/examples
    COMMAND rukc build ${dir} -o ${package} --id ${id} --filter "${filter}" > /dev/null
    DEPENDS rukc ${files}
    COMMENT "Example package ${name}.ruk")
  list(APPEND RUK_EXAMPLE_PACKAGES ${package})
endforeach()
add_custom_target(ruk_example_packages ALL DEPENDS ${RUK_EXAMPLE_PACKAGES})
install(DIRECTORY examples/ DESTINATION ${RUK_INSTALL_DATADIR}/examples)
install(FILES ${RUK_EXAMPLE_PACKAGES} DESTINATION ${RUK_INSTALL_DATADIR}/examples)

# The desktop: the package type (by name and by its header), the entry that
# opens packages with the engine, and the icon.
install(FILES data/rukengine-mime.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mime/packages RENAME rukengine.xml)
install(FILES data/rukengine.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
set(RUK_ICONS ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor)
install(FILES data/icons/rukengine.svg DESTINATION ${RUK_ICONS}/scalable/apps)
install(FILES data/icons/rukengine.svg DESTINATION ${RUK_ICONS}/scalable/mimetypes
  RENAME application-x-rukengine-package.svg)
foreach(size 16 32 48 64 128 256)
  install(FILES data/icons/rukengine-${size}.png DESTINATION ${RUK_ICONS}/${size}x${size}/apps RENAME rukengine.png)
  install(FILES data/icons/rukengine-${size}.png DESTINATION ${RUK_ICONS}/${size}x${size}/mimetypes
    RENAME application-x-rukengine-package.png)
endforeach()

# The Debian package. dpkg-shlibdeps finds the linked libraries; the ones
# the engine opens itself (sound, Internet, HTTPS) and the desktop tools
# that register the package type are named here. Their triggers update the
# MIME and desktop databases when the files land.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rukengine)
set(CPACK_PACKAGE_VENDOR "rukengine developers")
set(CPACK_PACKAGE_CONTACT "rukengine developers <rukengine@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop script engine for .ruk script packages")
# CPack puts the summary on the Description line and indents the long text.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "rukengine runs script applications packed into one .ruk file: their
compiled code with pictures, sounds and data. Scripts put windows of any
outline on the desktop, draw into them and react to the mouse, keys,
timers and other engines. rukc compiles sources and builds packages.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION interpreters)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(RUK_DEB_DEPENDS libsdl2-2.0-0 libcurl4 libssl3 xdg-utils shared-mime-info desktop-file-utils)
foreach(module ${RUK_MODULES})
  if(module MATCHES "browser")
    list(APPEND RUK_DEB_DEPENDS libqt6webenginecore6 libqt6webenginecore6-bin libqt6webenginewidgets6)
  endif()
endforeach()
list(REMOVE_DUPLICATES RUK_DEB_DEPENDS)
list(JOIN RUK_DEB_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
# xdg-mime tells a file's type through "mimetype", which reads the MIME database.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libfile-mimeinfo-perl, fonts-dejavu-core")
include(CPack)

# Installing and packaging: `cmake --install` places the programs in bin and their delivered files in
# share/qzm-demo (data/CMakeLists.txt); with the windows come the desktop entry, the AppStream
# metadata and the icon in the icon theme. `cpack -G DEB` makes a Debian package of the same.

install(TARGETS qzm-cli qzm-module-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The licence (MIT) and the libraries the programs contain or link, where a Debian package keeps
# them, or beside the programs on Windows.
if(WIN32)
  install(FILES ${CMAKE_SOURCE_DIR}/res/copyright ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION .)
else()
  install(FILES ${CMAKE_SOURCE_DIR}/res/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qzm-demo)
endif()

if(TARGET qzm_ui)
  if(TARGET qzm-demo)
    install(TARGETS qzm-demo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()

  # The icon is the mark the windows paint, written at build time in the theme's sizes.
  set(QZM_ICON_SIZES 16 24 32 48 64 128 256)
  set(qzm_icon_folder ${CMAKE_BINARY_DIR}/icons/hicolor)
  add_executable(qzm-make-icons ${CMAKE_SOURCE_DIR}/ui/app/make_icons.cpp ${CMAKE_SOURCE_DIR}/ui/app/qt_sanitizer_options.cpp)
  target_link_libraries(qzm-make-icons PRIVATE qzm_ui)
  set_target_properties(qzm-make-icons PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
  set(qzm_icons)
  foreach(size IN LISTS QZM_ICON_SIZES)
    list(APPEND qzm_icons ${qzm_icon_folder}/${size}x${size}/apps/qzm-demo.png)
  endforeach()
  add_custom_command(
    OUTPUT ${qzm_icons}
    COMMAND qzm-make-icons ${qzm_icon_folder} ${QZM_ICON_SIZES}
    DEPENDS qzm-make-icons
    COMMENT "Painting the program icon"
    VERBATIM)
  add_custom_target(qzm_icons ALL DEPENDS ${qzm_icons})
  install(DIRECTORY ${qzm_icon_folder} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

  install(FILES ${CMAKE_SOURCE_DIR}/res/qzm-demo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/res/io.github.qzmk.demo.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

set(QZM_PACKAGE_MAINTAINER "QZM-K Demo developers <qzm-demo@example.org>"
    CACHE STRING "Maintainer named in the Debian package")
set(CPACK_PACKAGE_NAME qzm-demo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "QZM-K Demo developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "evaluation program for the QZM-K camera sensor module")
set(CPACK_PACKAGE_DESCRIPTION "QZM-K Demo drives the QZM-K camera sensor module on a serial line: it runs
body, hand and face detection with the face estimations and recognition, shows
the results, changes the module's detection settings and manages its face
registrations and album. It comes with an emulator of the module
(qzm-module-sim) and a command-line tool for scripted evaluation (qzm-cli).")
set(CPACK_PACKAGE_CONTACT ${QZM_PACKAGE_MAINTAINER})
# A Debian package names no licence in its control file; /usr/share/doc/qzm-demo/copyright (above)
# states it.
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QZM_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The shared libraries the programs use (Qt, the C and C++ run-time) become the package's
# dependencies, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET qzm-demo)
  # Qt finds its windowing-system plugins at run time; without them the windows cannot open.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
endif()
set(CPACK_STRIP_FILES ON)
if(WIN32)
  # A zip to unpack anywhere: the programs, their delivered files and the licences in one folder.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_GENERATOR DEB)
endif()
include(CPack)

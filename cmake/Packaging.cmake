# The Debian package, made from a built release folder:
#   cmake --build --preset release && (cd build/release && cpack -G DEB)
# It holds what the install() rules install: the program, its desktop entry, AppStream
# metainfo, icons, manual page and HTML manual, and the package's copyright and changelog.

# Debian keeps both in the package's doc folder, the changelog compressed as dpkg-dev would:
# gzip -9 without a name or time stamp, so that the same changelog gives the same bytes.
include(GNUInstallDirs)
# Made when the build is configured, and again whenever the changelog changes.
set(AURALIS_CHANGELOG ${PROJECT_SOURCE_DIR}/cmake/debian/changelog)
set(AURALIS_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/debian/changelog.gz)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${AURALIS_CHANGELOG})
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/debian)
execute_process(COMMAND gzip -9n -c ${AURALIS_CHANGELOG} OUTPUT_FILE ${AURALIS_CHANGELOG_GZ}
  RESULT_VARIABLE AURALIS_GZIP_RESULT)
if(NOT AURALIS_GZIP_RESULT EQUAL 0)
  message(FATAL_ERROR "gzip could not compress ${AURALIS_CHANGELOG}")
endif()
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${AURALIS_CHANGELOG_GZ}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/auralis)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME auralis)
set(CPACK_PACKAGE_VENDOR "The Auralis developers")
set(CPACK_PACKAGE_CONTACT "The Auralis developers <auralis@example.org>")
# The caption drops the fourth component of the version; so does the package.
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ear trainer: name, sing and play back the notes you hear")
set(CPACK_PACKAGE_DESCRIPTION
  "Auralis plays a musical question (one note, two or three notes together or
in turn, or a white-key second or third) and you answer by singing into a
microphone, playing a MIDI keyboard, typing note letters or clicking the note
panel. Its lessons Identify, Mimic, Sing, Unlock and Meditate take you from
two notes to all twelve, and it remembers how far you have come.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The libraries the program links are found by dpkg-shlibdeps (package dpkg-dev) and added to
# these: the SoundFont the built-in synthesiser plays, Qt's platform plugins, without which no
# window opens, and Qt's SQLite driver, a plugin that libqt6sql6 only recommends, without which
# no answer is kept.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "timgm6mb-soundfont, qt6-qpa-plugins, libqt6sql6-sqlite")
# The window's fonts are Times New Roman; Liberation Serif has its measures.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")

include(CPack)

# The manual's pages: links, anchors and pictures always; a real browser's rendering when one
# is installed (tools/setup.sh installs chromium), once, in the build without sanitizers.
if(BUILD_TESTING)
  add_test(NAME manual_links
    COMMAND ${PROJECT_SOURCE_DIR}/tools/check-manual.sh --no-render ${PROJECT_SOURCE_DIR}/docs/manual)
  find_program(AURALIS_CHROMIUM chromium)
  if(AURALIS_CHROMIUM AND NOT AURALIS_SANITIZE)
    add_test(NAME manual_rendering
      COMMAND ${PROJECT_SOURCE_DIR}/tools/check-manual.sh ${PROJECT_SOURCE_DIR}/docs/manual
              ${CMAKE_BINARY_DIR}/manual-pages)
  endif()
endif()

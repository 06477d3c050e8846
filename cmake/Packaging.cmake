# What a distribution needs beyond the programs and the desktop files: the manual pages and
# the changelog, compressed as Debian keeps them, the copyright file, and the Debian package
# itself (`cpack -G DEB` in the build folder gives zr_<version>_<arch>.deb).


find_program(ZR_GZIP gzip REQUIRED)
set(zr_docs)
foreach(doc man/zr.1 man/zr-cli.1 packaging/changelog)
  get_filename_component(name ${doc} NAME)
  set(copy ${CMAKE_BINARY_DIR}/packaging/${name})
  # -n: no name or time in the header, so that the same source gives the same bytes.
  add_custom_command(
    OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/${doc} ${copy}
    COMMAND ${ZR_GZIP} -9nf ${copy}
    DEPENDS ${PROJECT_SOURCE_DIR}/${doc}
    VERBATIM)
  list(APPEND zr_docs ${copy}.gz)
endforeach()
add_custom_target(zr_docs ALL DEPENDS ${zr_docs})

install(FILES ${CMAKE_BINARY_DIR}/packaging/zr.1.gz ${CMAKE_BINARY_DIR}/packaging/zr-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zr)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "zr 开发组")
set(CPACK_PACKAGE_CONTACT "zr 开发组 <zr@zrproject.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "encrypt or decrypt files with a typed key")
# Lines of at most 79 characters, as Debian's description field wants them.
set(CPACK_PACKAGE_DESCRIPTION
    "zr encrypts and decrypts files with a key that the user types. One operation
serves both ways: report.doc gives report.doc.ZR, and report.doc.ZR with the
same key gives report.doc back. It handles one file, a list of files or every
file of a folder, has a shredder, and adds 加密解密 (encrypt/decrypt) to the
context menus of file managers. Its windows are in Simplified Chinese; zr-cli
is the same engine for scripts.

The .ZR format is a legacy format, kept so that existing files keep opening;
it is not strong encryption.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://zrproject.org/)
# The libraries' own packages, found by dpkg-shlibdeps; Chinese glyphs and the toolkit's
# Chinese dialog texts are recommended, since the windows work without them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)

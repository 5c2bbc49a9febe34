# The Debian package: `cpack -G DEB` in a release build (scripts/package.sh).
set(CPACK_PACKAGE_NAME tovrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tovrel developers")
set(CPACK_PACKAGE_CONTACT "The Tovrel developers <maintainers@tovrel.io>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "address book for a home or a small office")
set(CPACK_PACKAGE_DESCRIPTION
    "Tovrel keeps contacts in one file, narrows them by letter or by a word, edits them in a grid, on a record \
card or in a form, prints phone lists, address labels, organiser and diary pages, and prints mail merge letters. \
It imports vCard, CSV and older Access-format files and shares the address book with a CardDAV server.")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the linker cannot see: the windowing plugins, and the fonts the printed pages are measured in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups-client")
set(CPACK_STRIP_FILES ON)
include(CPack)

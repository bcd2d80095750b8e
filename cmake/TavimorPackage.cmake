# SPDX-License-Identifier: GPL-3.0-or-later
# cpack -G DEB: the Debian package from the same install rules and build folder as every build.
set(CPACK_PACKAGE_NAME tavimor)
set(CPACK_PACKAGE_VENDOR Quillmoor)
set(CPACK_PACKAGE_CONTACT "Quillmoor <tavimor@quillmoor.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${TAVIMOR_SUMMARY}")
# CPack puts the summary first and indents these lines itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${TAVIMOR_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tavimor.quillmoor.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Opened on first use, not linked, so dpkg-shlibdeps cannot see them; the versions are those it
# asked for while they were linked. CPack adds what it finds to these.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcreg1 (>= 20200725), libssl3 (>= 3.0.0), libxslt1.1 (>= 1.1.25)")
# Programs started at run time, not linked: Wine for wine: targets, Samba's tools for gpo push/pull.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "wine, samba-common-bin, ldb-tools, python3-samba")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

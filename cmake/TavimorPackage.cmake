# SPDX-License-Identifier: GPL-3.0-or-later
# cpack -G DEB: the Debian package from the same install rules and build folder as every build.
set(CPACK_PACKAGE_NAME tavimor)
set(CPACK_PACKAGE_VENDOR Quillmoor)
set(CPACK_PACKAGE_CONTACT "Quillmoor <tavimor@quillmoor.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "switch the policy restrictions of a Windows registry on and off")
# CPack puts the summary first and indents these lines itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tavimor shows the policy restrictions of a Windows 95, 98 or Me registry,
such as removing the Run dialog, grouped in sections, and switches each one
on or off without editing the registry by hand. On Linux it works on a Wine
prefix or a registry file. Settings are kept in enciphered settings files;
an administrator password guards the program. tavimorctl does the same work
from a terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tavimor.quillmoor.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wine")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

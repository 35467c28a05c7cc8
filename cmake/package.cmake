# The Debian package of the installed tree (scripts/package): gantrel_<version>_<arch>.deb.
# Library dependencies come from dpkg-shlibdeps; what the programs load at run time without
# linking it (Qt's platform plugins for the offscreen pictures, the SVG icon loader, the CJK
# font for Japanese texts) is named by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME gantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Gantrel suite developers <gantrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Field logging and processing of towed-array resistivity surveys")
set(CPACK_PACKAGE_DESCRIPTION
    "Tessick records the instrument consoles and a GPS receiver over serial ports;\nBrivane turns the survey files into apparent-resistivity sections and layered\nresistivity models. Both come as a window and as a command line.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6, fonts-noto-cjk")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
find_program(GANTREL_DPKG dpkg)
if(GANTREL_DPKG)
  execute_process(COMMAND ${GANTREL_DPKG} --print-architecture
                  OUTPUT_VARIABLE GANTREL_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE)
else()
  set(GANTREL_DEB_ARCH amd64)
endif()
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${GANTREL_DEB_ARCH})
set(CPACK_DEBIAN_FILE_NAME "gantrel_${PROJECT_VERSION}_${GANTREL_DEB_ARCH}.deb")
include(CPack)

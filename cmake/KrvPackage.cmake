# `make package` (cpack in the build folder): a Debian package of what
# KrvInstall.cmake installs, under /usr. Its dependencies are the run-time
# libraries the programs link, found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME krv)
set(CPACK_PACKAGE_VENDOR "Zentrik")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time display and analysis of multi-channel measurement signals")
set(CPACK_PACKAGE_DESCRIPTION
  "KRV shows signals of a measurement recorder or of the sound card as they\n"
  "come in: time signals, spectra, spectrograms, octave bands, correlation and\n"
  "multimeter values, on up to ten pages of views. It records the channels to\n"
  "files and shares them with other programs through a channel buffer service.\n"
  "\n"
  "The package holds the program krv, the recording tool vrd, the service\n"
  "tools zq-gen and zq-stat, the service library libzq with its header, and a\n"
  "simulated recorder for trying KRV without hardware.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}\n${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "KRV developers <krv@users.noreply.github.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://krv.github.io/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libzq is in the package itself; its shlibs entry lets dpkg-shlibdeps
# resolve the programs that link it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The symbol library of the crash report is loaded at run time, not linked.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libdw1")
include(CPack)

# What `cmake --install` puts under the prefix: the programs, the channel
# buffer service for other programs (library, header, pkg-config file), the
# recorder simulator in its private folder, the desktop entry, icon,
# AppStream metainfo and the manual pages. Test programs, test variants of
# the simulator, the benchmarks and the gallery stay in the build folder.

set(KRV_APP_ID io.github.krv.KRV)

# Installed programs find libzq in the library folder beside their bin/.
set(krv_installed_programs krv vrd zq-gen zq-stat)
set_target_properties(${krv_installed_programs} PROPERTIES
  INSTALL_RPATH "$ORIGIN/${KRV_LIBDIR_FROM_BINDIR}")
install(TARGETS ${krv_installed_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(TARGETS zq
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The pkg-config file finds the prefix from its own place, so that it stays
# right under whatever prefix the install or the package uses.
file(RELATIVE_PATH KRV_PREFIX_FROM_PKGCONFIG
  ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" KRV_PREFIX_FROM_PKGCONFIG "${KRV_PREFIX_FROM_PKGCONFIG}")
configure_file(${PROJECT_SOURCE_DIR}/libs/zq/zq.pc.in ${PROJECT_BINARY_DIR}/zq.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zq.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Loaded by krv with dlopen, looked for there last.
install(TARGETS Velmor4API LIBRARY DESTINATION ${KRV_INSTALL_PRIVATE_LIBDIR})

install(FILES ${PROJECT_SOURCE_DIR}/desktop/${KRV_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/desktop/${KRV_APP_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/desktop/${KRV_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES man/krv.1 man/vrd.1 man/zq-gen.1 man/zq-stat.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

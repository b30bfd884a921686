# Run by the install (see CMakeLists.txt): places the files whose contents or folder follow the
# install prefix, known only now: `cmake --install --prefix`, or /usr when CPack packs.
# Set by the caller: TARVEX_SERVICE_TEMPLATE, TARVEX_STAGING (a folder of the build tree),
# TARVEX_FALLBACK (the settings fallback) and TARVEX_FALLBACK_FOLDER (its folder under the
# configuration folder), TARVEX_BINDIR and TARVEX_SYSCONFDIR (GNUInstallDirs' folders, relative
# to the prefix unless absolute).

if(IS_ABSOLUTE "${TARVEX_BINDIR}")
    set(TARVEX_SERVICE_PROGRAM "${TARVEX_BINDIR}/tarvex-service")
else()
    set(TARVEX_SERVICE_PROGRAM "${CMAKE_INSTALL_PREFIX}/${TARVEX_BINDIR}/tarvex-service")
endif()
configure_file("${TARVEX_SERVICE_TEMPLATE}" "${TARVEX_STAGING}/tarvex-service.service" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/systemd/user" TYPE FILE
     FILES "${TARVEX_STAGING}/tarvex-service.service")

# GNUInstallDirs' rule for the configuration folder, applied to this prefix: /etc for / and
# /usr, /etc/opt/NAME for /opt/NAME, else etc under the prefix.
if(IS_ABSOLUTE "${TARVEX_SYSCONFDIR}")
    set(sysconfdir "${TARVEX_SYSCONFDIR}")
elseif(TARVEX_SYSCONFDIR STREQUAL "etc" AND CMAKE_INSTALL_PREFIX MATCHES "^/(usr/?)?$")
    set(sysconfdir "/etc")
elseif(TARVEX_SYSCONFDIR STREQUAL "etc" AND CMAKE_INSTALL_PREFIX MATCHES "^/opt/")
    set(sysconfdir "/etc${CMAKE_INSTALL_PREFIX}")
else()
    set(sysconfdir "${CMAKE_INSTALL_PREFIX}/${TARVEX_SYSCONFDIR}")
endif()
file(INSTALL DESTINATION "${sysconfdir}/${TARVEX_FALLBACK_FOLDER}" TYPE FILE
     FILES "${TARVEX_FALLBACK}")

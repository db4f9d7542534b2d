# What `cmake --install` puts where, and the Debian package CPack makes of it
# (scripts/package.sh). Paths are relative to the install prefix, /usr in the package.
include(GNUInstallDirs)

set(KAVRO_MAINTAINER "Kavro maintainers <maintainers@users.noreply.c-seed-dbc69181.example>"
    CACHE STRING "The package's maintainer, as Name <address>")
set(KAVRO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/kavro)  # Debian names it after the package
set(KAVRO_PACKAGING_DIR ${CMAKE_CURRENT_SOURCE_DIR}/packaging)
set(KAVRO_GENERATED_DOCS ${CMAKE_CURRENT_BINARY_DIR}/packaging)

install(TARGETS kavro-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md ${KAVRO_PACKAGING_DIR}/copyright DESTINATION ${KAVRO_DOC_DIR})

# The man pages are made from the programs' own --help, so they cannot drift from it.
function(kavro_man_page target summary)
    set(page ${KAVRO_GENERATED_DOCS}/${target}.1.gz)
    add_custom_command(OUTPUT ${page}
        COMMAND sh ${KAVRO_PACKAGING_DIR}/man-page.sh $<TARGET_FILE:${target}> ${target} ${PROJECT_VERSION}
                "${summary}" ${page}
        DEPENDS ${target} ${KAVRO_PACKAGING_DIR}/man-page.sh ${KAVRO_PACKAGING_DIR}/help-to-man.awk
        VERBATIM)
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    set(KAVRO_MAN_PAGES ${KAVRO_MAN_PAGES} ${page} PARENT_SCOPE)
endfunction()
file(MAKE_DIRECTORY ${KAVRO_GENERATED_DOCS})
kavro_man_page(kavro-batch "runs Kavro's strategy tests and imports quotes without a window")

if(KAVRO_GUI)
    install(TARGETS kavro RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${KAVRO_PACKAGING_DIR}/kavro.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    # kavro.png is kavro.svg drawn at 256 pixels: rsvg-convert -w 256 -h 256 kavro.svg -o kavro.png
    install(FILES ${KAVRO_PACKAGING_DIR}/kavro.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    install(FILES ${KAVRO_PACKAGING_DIR}/kavro.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
    kavro_man_page(kavro "backtests an intraday FX strategy on hourly and daily quotes")
endif()

# The changelog carries the version; its date follows SOURCE_DATE_EPOCH when that is set.
string(TIMESTAMP KAVRO_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${KAVRO_PACKAGING_DIR}/changelog.in ${KAVRO_GENERATED_DOCS}/changelog @ONLY)
execute_process(COMMAND gzip -9nc ${KAVRO_GENERATED_DOCS}/changelog
                OUTPUT_FILE ${KAVRO_GENERATED_DOCS}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${KAVRO_GENERATED_DOCS}/changelog.gz DESTINATION ${KAVRO_DOC_DIR})
add_custom_target(kavro_man_pages ALL DEPENDS ${KAVRO_MAN_PAGES})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kavro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT ${KAVRO_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "backtester for an intraday FX strategy")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kavro tests one built-in intraday strategy on hourly and daily quotes of\n"
    "EURUSD, GBPUSD, USDCHF or USDJPY: single settings, parameter sweeps and a\n"
    "walk-forward optimisation, with plain-text reports, an equity chart and an\n"
    "evaluation of the trades (statistics, heatmaps, Monte Carlo). The package\n"
    "holds the desktop program kavro and the batch runner kavro-batch, which runs\n"
    "the same tests from the shell.")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # kavro_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies come from the libraries the binaries link, never from a list kept by hand.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)

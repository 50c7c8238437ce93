# Where `cmake --install` puts the programs and their files, as a Linux distribution expects them
# (the FHS): programs in bin, libvnactl in the library folder with its header, the shipped default
# config, the documents, a desktop entry with its icon and the manual pages; and a .deb of it all
# through CPack (`cmake --build build --target package`).
include(GNUInstallDirs)

if(VNA_BUILD_GUI)
    install(TARGETS vna vna-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(UNIX)
    install(TARGETS vna-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(TARGETS vnactl LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
    install(FILES ${PROJECT_SOURCE_DIR}/src/extctl/vna_control.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
endif()

# The programs carry the default config inside; the copy here is the one to read and start from.
install(FILES ${PROJECT_SOURCE_DIR}/data/_VNA_Default.cfg DESTINATION ${CMAKE_INSTALL_DATADIR}/vna)
# The voice files, once the build makes them (their folder in VNA_VOICE_DIR).
if(VNA_VOICE_DIR)
    install(DIRECTORY ${VNA_VOICE_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/vna/voice)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/architecture.md DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/images DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(VNA_BUILD_GUI)
    install(FILES ${PROJECT_SOURCE_DIR}/data/vna.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/data/vna.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# The manual pages, made from the programs' own --help and --version at build time, so they never
# say something else than the programs.
find_program(HELP2MAN help2man)
find_program(GZIP gzip)
if(HELP2MAN AND GZIP AND UNIX AND VNA_BUILD_GUI)
    set(VNA_MAN_DIR ${PROJECT_BINARY_DIR}/man)
    set(pages)
    foreach(entry "vna|the control program of a vector network analyzer"
                  "vna-cli|the vector network analyzer's instrument code without windows"
                  "vna-sim|a simulated vector network analyzer on a pseudo-terminal")
        string(REPLACE "|" ";" parts "${entry}")
        list(GET parts 0 program)
        list(GET parts 1 description)
        add_custom_command(
            OUTPUT ${VNA_MAN_DIR}/${program}.1.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${VNA_MAN_DIR}
            COMMAND ${HELP2MAN} --no-info --section 1 --name "${description}"
                    --output ${VNA_MAN_DIR}/${program}.1 $<TARGET_FILE:${program}>
            COMMAND ${GZIP} -9nf ${VNA_MAN_DIR}/${program}.1
            DEPENDS ${program}
            COMMENT "Manual page of ${program}"
            VERBATIM)
        list(APPEND pages ${VNA_MAN_DIR}/${program}.1.gz)
    endforeach()
    add_custom_target(man_pages ALL DEPENDS ${pages})
    install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vna)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control program of a vector network analyzer")
set(CPACK_PACKAGE_DESCRIPTION
    "Drives a vector network analyzer on a serial port, calibrates it and shows SWR, impedance, return loss, S21, Smith chart and TDR; with a command-line tool, a simulated instrument and a library for other programs.")
set(CPACK_PACKAGE_CONTACT "VNA program developers <vna@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The build keeps its debugging information; the package does not need it.
set(CPACK_STRIP_FILES ON)
include(CPack)

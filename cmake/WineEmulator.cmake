# Runs the Windows programs of a cross build under Wine: ctest and GoogleTest's test discovery
# start them through wine-run.sh, which keeps the Wine prefix inside the build tree and creates
# it on first use.
find_program(ZT40_WINE_LOADER NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine NO_DEFAULT_PATH)
find_program(ZT40_WINE_LOADER NAMES wine64 wine)
if(NOT ZT40_WINE_LOADER)
    message(FATAL_ERROR "Wine is needed to run the Windows tests: install Debian's wine64 package")
endif()
set(ZT40_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix for the Windows tests")
# Programs linked with Qt find its DLLs through Wine's search path, and Qt finds its plugins
# beside them.
find_package(Qt6 QUIET COMPONENTS Core)
# zlib1.dll (Debian's libz-mingw-w64), which Qt and the journal use, sits beside MinGW's libraries.
# Wine sees the Linux file system as drive Z:.
set(ZT40_WINE_DLL_PATH "Z:/usr/x86_64-w64-mingw32/lib")
if(Qt6_FOUND)
    set(ZT40_WINE_DLL_PATH "Z:${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS};${ZT40_WINE_DLL_PATH}")
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

# Listing a program's tests under Wine can take longer than GoogleTest's default 5 seconds on a
# busy machine, and is better not done while the compiler runs: list them when ctest starts,
# with more time. Arguments given by the caller take precedence.
if(COMMAND gtest_discover_tests)
    function(gtest_discover_tests target)
        _gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 ${ARGN})
    endfunction()
endif()

# GoogleTest and GoogleMock built inside this build from Debian's googletest source package,
# for builds whose target system has no installed GoogleTest: the Windows cross build, or any
# build given -DZT40_GOOGLETEST_SOURCE_DIR=<googletest source tree>.
# Provides the same targets as find_package(GTest): GTest::gtest, GTest::gtest_main,
# GTest::gmock, GTest::gmock_main.
set(ZT40_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest source tree to build")
if(NOT EXISTS ${ZT40_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${ZT40_GOOGLETEST_SOURCE_DIR}: "
                        "install Debian's googletest package (scripts/deps.sh test)")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "Install GoogleTest" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "Build GoogleMock" FORCE)
# Our warning flags are not GoogleTest's business; SYSTEM keeps its headers quiet in our targets.
add_subdirectory(${ZT40_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
        add_library(GTest::${lib} ALIAS ${lib})
    endif()
endforeach()

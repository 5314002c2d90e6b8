# The Windows version resource (resources/zt40.rc.in): product and file version from the
# project version, read back by the About dialog. Elsewhere this does nothing.
if(NOT WIN32)
    return()
endif()
enable_language(RC)

set(ZT40_VERSION_TWEAK ${PROJECT_VERSION_TWEAK})
if(NOT ZT40_VERSION_TWEAK)
    set(ZT40_VERSION_TWEAK 0)
endif()
set(ZT40_RESOURCE_DIR ${PROJECT_SOURCE_DIR}/resources)

# Compiles the version resource into the program `target`.
function(zt40_add_version_info target)
    set(rc ${CMAKE_BINARY_DIR}/versioninfo/${target}.rc)
    configure_file(${ZT40_RESOURCE_DIR}/zt40.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()

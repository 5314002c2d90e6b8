# Makes the Windows installer: installs the build into a staging folder, lists its files for
# the installer and the uninstaller, and runs makensis. Run by the target zt40_installer:
#   cmake -DBUILD_DIR=... -DSTAGE_DIR=... -DINSTALLER=... -DTEMPLATE=... -DMAKENSIS=...
#         -DRESOURCE_DIR=... -DPROJECT_VERSION=1.2.3 -P MakeInstaller.cmake
file(REMOVE_RECURSE ${STAGE_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${STAGE_DIR} --strip
                        --component zt40
                RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "installing into ${STAGE_DIR} failed")
endif()

# NSIS wants Windows paths; makensis on Linux takes '/' in the source paths.
file(GLOB_RECURSE files RELATIVE ${STAGE_DIR} LIST_DIRECTORIES false ${STAGE_DIR}/*)
list(SORT files)
set(install "!macro ZT40_INSTALL_FILES\n")
set(remove "!macro ZT40_REMOVE_FILES\n")
set(folders "")
set(bytes 0)
foreach(file ${files})
    get_filename_component(folder ${file} DIRECTORY)
    string(REPLACE "/" "\\" windowsFolder "${folder}")
    string(REPLACE "/" "\\" windowsFile "${file}")
    if(folder)
        string(APPEND install "    SetOutPath \"$INSTDIR\\${windowsFolder}\"\n")
        # The folder and every folder above it, for the uninstaller.
        set(parent ${folder})
        while(parent)
            list(APPEND folders ${parent})
            get_filename_component(parent ${parent} DIRECTORY)
        endwhile()
    else()
        string(APPEND install "    SetOutPath \"$INSTDIR\"\n")
    endif()
    string(APPEND install "    File \"${STAGE_DIR}/${file}\"\n")
    string(APPEND remove "    Delete \"$INSTDIR\\${windowsFile}\"\n")
    file(SIZE ${STAGE_DIR}/${file} size)
    math(EXPR bytes "${bytes} + ${size}")
endforeach()
string(APPEND install "    SetOutPath \"$INSTDIR\"\n!macroend\n")
# Deepest folders first, so that each is empty when it is removed.
list(REMOVE_DUPLICATES folders)
list(SORT folders ORDER DESCENDING)
foreach(folder ${folders})
    string(REPLACE "/" "\\" windowsFolder "${folder}")
    string(APPEND remove "    RMDir \"$INSTDIR\\${windowsFolder}\"\n")
endforeach()
string(APPEND remove "!macroend\n")

get_filename_component(work ${STAGE_DIR} DIRECTORY)
set(ZT40_NSIS_LISTS ${work}/zt40-files.nsh)
file(WRITE ${ZT40_NSIS_LISTS} "${install}${remove}")
math(EXPR ZT40_INSTALLED_KB "${bytes} / 1024")
set(ZT40_INSTALLER ${INSTALLER})
set(ZT40_STAGE_DIR ${STAGE_DIR})
set(ZT40_RESOURCE_DIR ${RESOURCE_DIR})
string(REPLACE "." ";" parts ${PROJECT_VERSION})
list(GET parts 0 PROJECT_VERSION_MAJOR)
list(GET parts 1 PROJECT_VERSION_MINOR)
list(GET parts 2 PROJECT_VERSION_PATCH)
configure_file(${TEMPLATE} ${work}/zt40.nsi @ONLY)

execute_process(COMMAND ${MAKENSIS} -V2 -NOCD ${work}/zt40.nsi WORKING_DIRECTORY ${work}
                RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "makensis failed")
endif()

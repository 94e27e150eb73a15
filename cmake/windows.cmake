# Cross build: TOLVEX.exe with its payload, and the Windows tests.

set(TOLVEX_RELEASE_FLAGS -Os -fno-exceptions -fno-rtti -fno-threadsafe-statics -ffunction-sections
    -fdata-sections -include ${CMAKE_SOURCE_DIR}/platform/win32/LeanLibrary.h)
set(TOLVEX_RELEASE_LINK -s -static -municode -Wl,--gc-sections -Wl,--nxcompat,--dynamicbase)
target_compile_options(tolvex_logic PRIVATE -Wall -Wextra ${TOLVEX_RELEASE_FLAGS})
target_compile_definitions(tolvex_logic PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                                _WIN32_WINNT=0x0600)

# --- The payload ----------------------------------------------------------
# Either genuine ImDisk files from a folder given at configure time, or the
# stand-ins built from components/ for both processor variants.
set(PAYLOAD_DIR "" CACHE PATH "Folder holding x86/ and x64/ with the genuine payload files")
set(PAYLOAD_FILES zDrvInst.exe imdisk.cpl imdisk.exe imdisk.sys)
set(COMPONENT_TARGETS)
include(ExternalProject)
if(PAYLOAD_DIR)
  foreach(arch x86 x64)
    set(PAYLOAD_${arch} "${PAYLOAD_DIR}/${arch}")
    foreach(f ${PAYLOAD_FILES})
      if(NOT EXISTS "${PAYLOAD_${arch}}/${f}")
        message(FATAL_ERROR "PAYLOAD_DIR lacks ${arch}/${f}")
      endif()
    endforeach()
  endforeach()
  message(STATUS "Payload: genuine files from ${PAYLOAD_DIR}")
else()
  foreach(arch x86 x64)
    if(arch STREQUAL "x86")
      set(toolchain ${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake)
    else()
      set(toolchain ${CMAKE_SOURCE_DIR}/cmake/mingw-x86_64.cmake)
    endif()
    set(out ${CMAKE_BINARY_DIR}/components-${arch}/out)
    set(byproducts)
    foreach(f ${PAYLOAD_FILES} Vimbrel.exe)
      list(APPEND byproducts ${out}/${f})
    endforeach()
    ExternalProject_Add(components_${arch}
      SOURCE_DIR ${CMAKE_SOURCE_DIR}/components
      BINARY_DIR ${CMAKE_BINARY_DIR}/components-${arch}
      CMAKE_GENERATOR Ninja
      CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${toolchain} -DCMAKE_BUILD_TYPE=MinSizeRel
      INSTALL_COMMAND ""
      BUILD_ALWAYS ON
      BUILD_BYPRODUCTS ${byproducts})
    set(PAYLOAD_${arch} ${out})
    list(APPEND COMPONENT_TARGETS components_${arch})
  endforeach()
  message(STATUS "Payload: stand-ins built from components/")
endif()

# Resource scripts want forward slashes and no surprises in paths.
set(PAYLOAD_SCRIPTS ${CMAKE_SOURCE_DIR}/payload)
configure_file(resources/payload.rc.in ${CMAKE_BINARY_DIR}/payload.rc @ONLY)
set(PAYLOAD_DEPENDS ${PAYLOAD_SCRIPTS}/install.cmd ${PAYLOAD_SCRIPTS}/uninstall.cmd)
foreach(arch x86 x64)
  foreach(f ${PAYLOAD_FILES})
    list(APPEND PAYLOAD_DEPENDS ${PAYLOAD_${arch}}/${f})
  endforeach()
endforeach()
set_source_files_properties(${CMAKE_BINARY_DIR}/payload.rc PROPERTIES OBJECT_DEPENDS
                            "${PAYLOAD_DEPENDS}")
set_source_files_properties(resources/TOLVEX.rc PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/resources/TOLVEX.manifest;${CMAKE_SOURCE_DIR}/resources/TOLVEX.ico")

# --- The Win32 face of the platform ---------------------------------------
add_library(tolvex_win32 STATIC platform/win32/Win32Os.cpp platform/win32/Win32Form.cpp)
target_compile_options(tolvex_win32 PRIVATE -Wall -Wextra ${TOLVEX_RELEASE_FLAGS})
target_link_libraries(tolvex_win32 PUBLIC tolvex_logic comctl32 shell32 gdi32 user32 advapi32)

# --- TOLVEX.exe -----------------------------------------------------------
enable_language(RC)
add_executable(TOLVEX WIN32 app/main.cpp platform/win32/NoExceptions.cpp resources/TOLVEX.rc
                           ${CMAKE_BINARY_DIR}/payload.rc)
target_compile_options(TOLVEX PRIVATE -Wall -Wextra ${TOLVEX_RELEASE_FLAGS})
target_link_options(TOLVEX PRIVATE ${TOLVEX_RELEASE_LINK})
target_link_libraries(TOLVEX PRIVATE tolvex_win32)
if(COMPONENT_TARGETS)
  add_dependencies(TOLVEX ${COMPONENT_TARGETS})
endif()

# The same program without its payload: what the launcher itself weighs.
add_executable(TOLVEX_bare WIN32 app/main.cpp platform/win32/NoExceptions.cpp resources/TOLVEX.rc)
target_compile_options(TOLVEX_bare PRIVATE ${TOLVEX_RELEASE_FLAGS})
target_link_options(TOLVEX_bare PRIVATE ${TOLVEX_RELEASE_LINK})
target_link_libraries(TOLVEX_bare PRIVATE tolvex_win32)

# The Windows tests build with a toolchain of their own (see the project).
ExternalProject_Add(windows_tests
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/tests/windows
  BINARY_DIR ${CMAKE_BINARY_DIR}/tests-windows
  CMAKE_GENERATOR Ninja
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686-posix.cmake
             -DCMAKE_BUILD_TYPE=Debug
             -DTOLVEX_EXE=$<TARGET_FILE:TOLVEX>
             -DPAYLOAD_X86=${PAYLOAD_x86} -DPAYLOAD_X64=${PAYLOAD_x64}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  EXCLUDE_FROM_ALL ON)
add_dependencies(windows_tests TOLVEX)
add_subdirectory(tests/e2e/inspector)
add_subdirectory(tools/bench)

# Delay-loading with MinGW. GNU ld has no /DELAYLOAD: for each named system
# DLL a delay-import library is made from MinGW's import library (see
# make_delay_lib.py) and put in a folder that the target's link searches
# first, so every -l<name> of the target and of the libraries it links
# resolves to it. The CRT's __delayLoadHelper2 loads the DLL on first call;
# src/app/dll_search.cpp decides from where.

# Debian's own python3 first, as for the other tools of the build and tests.
find_program(BOOTSTRAP_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(BOOTSTRAP_PYTHON NAMES python3 REQUIRED)

set(BOOTSTRAP_DELAYLOAD_DIR ${CMAKE_CURRENT_LIST_DIR})

# Windows' KnownDLLs on both Windows 7 and 10 (HKLM\SYSTEM\CurrentControlSet\
# Control\Session Manager\KnownDLLs, 32-bit), plus ntdll: the loader takes them
# from the system folder whatever the search order says, so they may be
# imported statically. msvcrt is the C runtime that MinGW's startup needs.
set(BOOTSTRAP_KNOWN_DLLS
  advapi32 clbcatq comdlg32 difxapi gdi32 imagehlp imm32 kernel32 msctf msvcrt
  normaliz nsi ntdll ole32 oleaut32 psapi rpcrt4 sechost setupapi shell32 shlwapi
  user32 wldap32 ws2_32)

# bootstrap_delay_load(<target> <library>...): every DLL of the listed MinGW
# import libraries (wininet, msi, ...) is delay-loaded by <target>.
function(bootstrap_delay_load target)
  set(dir ${CMAKE_BINARY_DIR}/delayload)
  file(MAKE_DIRECTORY ${dir})
  set(outputs)
  foreach(name ${ARGN})
    find_library(BOOTSTRAP_IMPORT_LIB_${name} NAMES ${name})
    if(NOT BOOTSTRAP_IMPORT_LIB_${name})
      message(FATAL_ERROR "no MinGW import library for ${name}")
    endif()
    set(output ${dir}/lib${name}.a)
    add_custom_command(OUTPUT ${output}
      COMMAND ${BOOTSTRAP_PYTHON} ${BOOTSTRAP_DELAYLOAD_DIR}/make_delay_lib.py
              --dll ${name}.dll --import-lib ${BOOTSTRAP_IMPORT_LIB_${name}}
              --output ${output} --tool-prefix ${MINGW_PREFIX}- --jobs 2
      DEPENDS ${BOOTSTRAP_DELAYLOAD_DIR}/make_delay_lib.py ${BOOTSTRAP_IMPORT_LIB_${name}}
      COMMENT "Delay-import library for ${name}.dll"
      VERBATIM)
    list(APPEND outputs ${output})
  endforeach()
  add_custom_target(${target}_delay_libs DEPENDS ${outputs})
  add_dependencies(${target} ${target}_delay_libs)
  target_link_directories(${target} BEFORE PRIVATE ${dir})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${outputs})
endfunction()

# bootstrap_import_check(<test name> <target> [ALLOW <dll>...]): a test that
# fails when <target> imports a DLL statically that is not a KnownDLL.
function(bootstrap_import_check name target)
  cmake_parse_arguments(C "" "" "ALLOW" ${ARGN})
  string(REPLACE ";" "," allowed "${BOOTSTRAP_KNOWN_DLLS};${C_ALLOW}")
  add_test(NAME ${name}
    COMMAND ${BOOTSTRAP_PYTHON} ${BOOTSTRAP_DELAYLOAD_DIR}/check_imports.py
            --objdump ${MINGW_PREFIX}-objdump --allow ${allowed} $<TARGET_FILE:${target}>)
  set_tests_properties(${name} PROPERTIES TIMEOUT 60)
endfunction()

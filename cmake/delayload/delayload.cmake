# Delay-loading with MinGW. GNU ld has no /DELAYLOAD: for each named system
# DLL a delay-import library is made from MinGW's import library (see
# make_delay_lib.py) and put in a folder that the target's link searches
# first, so every -l<name> of the target and of the libraries it links
# resolves to it. The CRT's __delayLoadHelper2 loads the DLL on first call;
# src/app/dll_search.cpp decides from where.
include_guard(GLOBAL)

# Debian's own python3 first, as for the other tools of the build and tests.
find_program(BOOTSTRAP_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(BOOTSTRAP_PYTHON NAMES python3 REQUIRED)

# bootstrap_delay_load(<target> <library>...): every DLL of the listed MinGW
# import libraries (wininet, msi, ...) is delay-loaded by <target>.
function(bootstrap_delay_load target)
  set(dir ${CMAKE_BINARY_DIR}/delayload)
  file(MAKE_DIRECTORY ${dir})
  set(outputs)
  foreach(name ${ARGN})
    set(output ${dir}/lib${name}.a)
    # One rule per library for the whole build; targets anywhere depend on it.
    if(NOT TARGET bootstrap_delaylib_${name})
      find_library(BOOTSTRAP_IMPORT_LIB_${name} NAMES ${name})
      if(NOT BOOTSTRAP_IMPORT_LIB_${name})
        message(FATAL_ERROR "no MinGW import library for ${name}")
      endif()
      add_custom_command(OUTPUT ${output}
        COMMAND ${BOOTSTRAP_PYTHON} ${CMAKE_SOURCE_DIR}/cmake/delayload/make_delay_lib.py
                --dll ${name}.dll --import-lib ${BOOTSTRAP_IMPORT_LIB_${name}}
                --output ${output} --tool-prefix ${MINGW_PREFIX}- --jobs 2
        DEPENDS ${CMAKE_SOURCE_DIR}/cmake/delayload/make_delay_lib.py ${BOOTSTRAP_IMPORT_LIB_${name}}
        COMMENT "Delay-import library for ${name}.dll"
        VERBATIM)
      add_custom_target(bootstrap_delaylib_${name} DEPENDS ${output})
    endif()
    add_dependencies(${target} bootstrap_delaylib_${name})
    list(APPEND outputs ${output})
  endforeach()
  target_link_directories(${target} BEFORE PRIVATE ${dir})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${outputs})
endfunction()

# bootstrap_import_check(<test name> <target>): a test that fails when <target>
# imports a DLL statically that is not a KnownDLL (the list is in
# check_imports.py), or a kernel32, user32 or advapi32 function that
# static_imports.txt does not allow (judged against the oldest Windows).
function(bootstrap_import_check name target)
  add_test(NAME ${name}
    COMMAND ${BOOTSTRAP_PYTHON} ${CMAKE_SOURCE_DIR}/cmake/delayload/check_imports.py
            --objdump ${MINGW_PREFIX}-objdump
            --functions ${CMAKE_SOURCE_DIR}/cmake/delayload/static_imports.txt $<TARGET_FILE:${target}>)
  set_tests_properties(${name} PROPERTIES TIMEOUT 60 LABELS no-wine)
endfunction()

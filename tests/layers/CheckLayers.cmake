# Fails when a source file includes a header of a layer above its own. Reads the include lines of every
# source under the layered folders and resolves each as the compiler would find it: beside the file first,
# then from the top of the tree ("platform/...", "sdk/..."), then in the include folders of the interface,
# the plug-in and the host library. Headers found nowhere in the tree (system and library headers, a
# program's own headers in other folders of it) are not ours to judge.
# Usage: cmake -DROOT=<source tree> -P CheckLayers.cmake

cmake_minimum_required(VERSION 3.20)

if(NOT ROOT OR NOT IS_DIRECTORY "${ROOT}/interface")
    message(FATAL_ERROR "CheckLayers: ROOT must name the source tree")
endif()
get_filename_component(ROOT "${ROOT}" ABSOLUTE)

# Bottom up: interface < platform < sdk < plugin. The host library and the host programs (the Python module
# among them) stand beside the plug-in on the interface alone; the companion stands on nothing of either. Tests, benchmarks and the fuzz
# target are on top and are not checked.
set(ALLOWED_interface interface)
set(ALLOWED_platform interface platform)
set(ALLOWED_sdk interface platform sdk)
set(ALLOWED_plugin interface platform sdk plugin)
set(ALLOWED_hostlib interface hostlib)
set(ALLOWED_host interface hostlib host)
set(ALLOWED_python interface hostlib python)
set(ALLOWED_companion companion)
set(CHECKED interface platform sdk plugin hostlib host python companion)
set(SEARCH_ROOTS "${ROOT}" "${ROOT}/interface" "${ROOT}/plugin" "${ROOT}/hostlib")

# The folder right under the top that holds path.
function(folder_of path out)
    file(RELATIVE_PATH relative "${ROOT}" "${path}")
    string(REGEX REPLACE "/.*" "" top "${relative}")
    set(${out} "${top}" PARENT_SCOPE)
endfunction()

# The file an include names, or "" when it is not in the tree.
function(resolve_include including name quoted out)
    set(candidates)
    if(quoted)
        get_filename_component(own "${including}" DIRECTORY)
        list(APPEND candidates "${own}")
    endif()
    list(APPEND candidates ${SEARCH_ROOTS})
    foreach(base IN LISTS candidates)
        get_filename_component(candidate "${base}/${name}" ABSOLUTE)
        if(EXISTS "${candidate}" AND NOT IS_DIRECTORY "${candidate}")
            set(${out} "${candidate}" PARENT_SCOPE)
            return()
        endif()
    endforeach()
    set(${out} "" PARENT_SCOPE)
endfunction()

set(violations)
set(scanned 0)
foreach(layer IN LISTS CHECKED)
    file(GLOB_RECURSE sources "${ROOT}/${layer}/*.h" "${ROOT}/${layer}/*.hpp" "${ROOT}/${layer}/*.c"
         "${ROOT}/${layer}/*.cc" "${ROOT}/${layer}/*.cpp")
    foreach(source IN LISTS sources)
        math(EXPR scanned "${scanned} + 1")
        file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"][^>\"]+[>\"]")
        foreach(line IN LISTS lines)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*([<\"])([^>\"]+)[>\"].*" "\\1;\\2" parts "${line}")
            list(GET parts 0 delimiter)
            list(GET parts 1 name)
            set(quoted OFF)
            if(delimiter STREQUAL "\"")
                set(quoted ON)
            endif()
            resolve_include("${source}" "${name}" ${quoted} header)
            if(header STREQUAL "")
                continue()
            endif()
            folder_of("${header}" target)
            file(RELATIVE_PATH shown "${ROOT}" "${source}")
            file(RELATIVE_PATH shown_header "${ROOT}" "${header}")
            if(NOT target IN_LIST ALLOWED_${layer})
                string(REPLACE ";" "/, " allowed "${ALLOWED_${layer}}/")
                list(APPEND violations "${shown}: includes ${shown_header}, but ${layer}/ may include only ${allowed}")
            elseif(shown_header MATCHES "^platform/linux/" AND NOT layer STREQUAL "platform")
                list(APPEND violations "${shown}: includes ${shown_header}, private to the platform's implementation")
            endif()
        endforeach()
    endforeach()
endforeach()

if(scanned EQUAL 0)
    message(FATAL_ERROR "CheckLayers: no sources found under ${ROOT}")
endif()
if(violations)
    foreach(violation IN LISTS violations)
        message(NOTICE "${violation}")
    endforeach()
    list(LENGTH violations count)
    message(FATAL_ERROR "${count} include(s) against the layering")
endif()
message(STATUS "CheckLayers: ${scanned} files, every include points down")

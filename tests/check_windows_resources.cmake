cmake_minimum_required(VERSION 3.25)
# Reads the version resource and the application manifest back from the
# built Windows program: every version in them is the project's.
#   -DSTRINGS=<strings> -DPROGRAM=<karsvren.exe> -DVERSION=<x.y.z>
execute_process(COMMAND ${STRINGS} -el ${PROGRAM} OUTPUT_VARIABLE wide RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot read ${PROGRAM}")
endif()
string(REPLACE "\n" ";" wide "${wide}")
set(expected
  "FileVersion=${VERSION}"
  "ProductVersion=${VERSION}"
  "OriginalFilename=karsvren.exe"
  "ProductName=karsvren"
  "LegalCopyright=Copyright (c) 2026 the karsvren authors"
  "FileDescription=karsvren: gives the music files of a track list readable names")
foreach(pair IN LISTS expected)
  string(FIND "${pair}" "=" at)
  string(SUBSTRING "${pair}" 0 ${at} key)
  math(EXPR at "${at} + 1")
  string(SUBSTRING "${pair}" ${at} -1 value)
  list(FIND wide "${key}" index)
  if(index EQUAL -1)
    message(FATAL_ERROR "no ${key} in the version resource")
  endif()
  math(EXPR index "${index} + 1")
  list(GET wide ${index} found)
  if(NOT found STREQUAL value)
    message(FATAL_ERROR "${key} is \"${found}\", not \"${value}\"")
  endif()
endforeach()

execute_process(COMMAND ${STRINGS} -n 8 ${PROGRAM} OUTPUT_VARIABLE narrow)
foreach(piece
    "name=\"karsvren\" version=\"${VERSION}.0\""
    "<requestedExecutionLevel level=\"asInvoker\""
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"   # Windows 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"   # Windows 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}"   # Windows 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}")  # Windows 10 and 11
  string(FIND "${narrow}" "${piece}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the manifest lacks ${piece}")
  endif()
endforeach()
message(STATUS "version ${VERSION}, asInvoker, Windows 7 to 11")

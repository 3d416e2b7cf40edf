# Fails when a file includes a folder above its own. The folders, bottom to
# top; a file may include its own folder and any folder below it. Tests follow
# the folder of src/ they mirror.
#   cmake -DROOT=<source dir> -P tests/check_layering.cmake
set(layers platform core services windows taskbar startmenu settings app)
if(NOT ROOT)
  message(FATAL_ERROR "pass -DROOT=<source dir>")
endif()

set(violations "")
foreach(tree src tests bench)
  file(GLOB_RECURSE files RELATIVE "${ROOT}/${tree}" "${ROOT}/${tree}/*.cpp" "${ROOT}/${tree}/*.h")
  foreach(file IN LISTS files)
    string(REGEX MATCH "^[^/]+" folder "${file}")
    list(FIND layers "${folder}" own)
    if(own EQUAL -1)
      continue()  # support code, x11 end-to-end tests and benchmarks may see everything
    endif()
    file(STRINGS "${ROOT}/${tree}/${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z]+/")
    foreach(line IN LISTS lines)
      string(REGEX MATCH "\"([a-z]+)/" _ "${line}")
      list(FIND layers "${CMAKE_MATCH_1}" included)
      if(included GREATER own)
        list(APPEND violations "${tree}/${file}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "includes that reach a folder above their own:\n  ${text}")
endif()
message(STATUS "every include points down or sideways")

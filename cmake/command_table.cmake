# Turns the command-table data file into the string-table resource script, the
# export list and the reference docs. Run as a script:
#   cmake -DTABLE=commands.tab -DRC=out.rc -DDEF=out.def -DDOC=out.md -P command_table.cmake
# Fails on any line it cannot read, on a duplicate string number and on an
# export that a row marks built but another row marks otherwise.

cmake_policy(VERSION 3.21)

foreach(var TABLE RC DEF DOC)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "command_table.cmake needs -D${var}=...")
  endif()
endforeach()

# CMake lists split on ";" and do not split inside "[...]": the file may hold
# neither, and "[" (the value mark) is read as "<value>".
file(READ "${TABLE}" content)
if(content MATCHES "[];]")
  message(FATAL_ERROR "${TABLE}: \";\" and \"]\" cannot stand in the command table")
endif()
string(REPLACE "[" "<value>" content "${content}")
string(REPLACE "\n" ";" lines "${content}")

set(rc_rows "")
set(def_lines "")
set(doc_rows "")
set(exports "")
set(numbers "")
set(row_count 0)
set(last_block "")

foreach(line IN LISTS lines)
  if(line MATCHES "^[ \t]*(#|$)")
    continue()
  endif()
  if(line MATCHES "^row +([0-9]+) +([A-Za-z0-9_]+) +(<value>|-) +([LF]+) +([A-Za-z0-9_]+) +(built|planned)( +(.*))?$")
    set(num "${CMAKE_MATCH_1}")
    set(keyword "${CMAKE_MATCH_2}")
    set(value "${CMAKE_MATCH_3}")
    set(letters "${CMAKE_MATCH_4}")
    set(export "${CMAKE_MATCH_5}")
    set(state "${CMAKE_MATCH_6}")
    set(summary "${CMAKE_MATCH_8}")
    if(summary MATCHES "<value>")
      message(FATAL_ERROR "${TABLE}: \"[\" cannot stand in a summary: ${line}")
    endif()
    if(num IN_LIST numbers)
      message(FATAL_ERROR "${TABLE}: string number ${num} appears twice")
    endif()
    list(APPEND numbers ${num})
    math(EXPR row_count "${row_count} + 1")
    if(value STREQUAL "<value>")
      set(text "${keyword}[%${letters}%${export}%")
    else()
      set(text "${keyword}%${letters}%${export}%")
    endif()
    string(APPEND rc_rows "  ${num}, \"${text}\"\n")

    # One docs section per type prefix.
    string(REGEX MATCH "^p([A-Za-z0-9]+)_" prefix "${keyword}")
    set(block "${CMAKE_MATCH_1}")
    if(NOT block STREQUAL last_block)
      string(APPEND doc_rows "\n## ${block}\n\n| No. | Keyword | Result | Arguments | Export | Summary |\n|---|---|---|---|---|---|\n")
      set(last_block "${block}")
    endif()
    if(value STREQUAL "<value>")
      string(SUBSTRING "${letters}" 0 1 result)
      string(SUBSTRING "${letters}" 1 -1 args)
    else()
      set(result "-")
      set(args "${letters}")
    endif()
    if(state STREQUAL "planned")
      set(summary "Not built yet.")
    endif()
    string(APPEND doc_rows "| ${num} | `${keyword}` | ${result} | ${args} | `${export}` | ${summary} |\n")
  elseif(line MATCHES "^export +([A-Za-z0-9_]+) +(built|planned)( +(.*))?$")
    set(export "${CMAKE_MATCH_1}")
    set(state "${CMAKE_MATCH_2}")
  elseif(line MATCHES "^sig +([A-Za-z0-9_]+)( +[A-Za-z0-9_]+!?\\??:[A-Za-z0-9]+)*( +-> +[A-Za-z0-9]+)? *$")
    continue()
  elseif(line MATCHES "^plugin +([^ ]+) +([A-Za-z0-9_]+)( +(.*))?$")
    string(APPEND def_lines "  \"${CMAKE_MATCH_1}\" = ${CMAKE_MATCH_2}\n")
    continue()
  else()
    message(FATAL_ERROR "${TABLE}: cannot read line: ${line}")
  endif()

  # Export list: each built export once, whatever number of rows name it.
  if(export IN_LIST exports_built)
    if(NOT state STREQUAL "built")
      message(FATAL_ERROR "${TABLE}: ${export} is built in one row and ${state} in another")
    endif()
  elseif(state STREQUAL "built")
    if(export IN_LIST exports_other)
      message(FATAL_ERROR "${TABLE}: ${export} is built in one row but not in another")
    endif()
    list(APPEND exports_built ${export})
    string(APPEND def_lines "  ${export}\n")
  else()
    list(APPEND exports_other ${export})
  endif()
endforeach()

file(WRITE "${RC}.tmp"
  "// Generated from commands.tab: the command table the host reads.\n"
  "LANGUAGE 9, 1\n"
  "STRINGTABLE\n"
  "BEGIN\n"
  "${rc_rows}"
  "END\n")
file(WRITE "${DEF}.tmp"
  "; Generated from commands.tab: the exports of the plug-in.\n"
  "LIBRARY \"Kestrom_Vandu.dll\"\n"
  "EXPORTS\n"
  "${def_lines}")
file(WRITE "${DOC}.tmp"
  "# Kestrom_Vandu command reference\n\n"
  "Generated from `src/frame/commands.tab`: ${row_count} rows. "
  "Letters: L = 32-bit integer or handle, F = 32-bit float; the result column is empty (-) for commands that yield nothing.\n"
  "${doc_rows}")
foreach(out RC DEF DOC)
  file(COPY_FILE "${${out}}.tmp" "${${out}}" ONLY_IF_DIFFERENT)
  file(REMOVE "${${out}}.tmp")
endforeach()

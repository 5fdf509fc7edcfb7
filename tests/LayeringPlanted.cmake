# Runs LayeringCheck.cmake (CHECK) on a scratch tree (SCRATCH): clean it must pass;
# with one planted violation at a time it must fail and name that violation.

cmake_minimum_required(VERSION 3.25)

function(run_check out_result out_output)
  execute_process(
    COMMAND ${CMAKE_COMMAND} "-DLOGIC_FILES=${SCRATCH}/src/stock/Logic.cpp" "-DUI_FILES=${SCRATCH}/src/stock/Page.cpp"
            "-DLOGIC_DIRS=${SCRATCH}/src/data|${SCRATCH}/src/stock" "-DUI_DIRS=${SCRATCH}/src/ui"
            "-DSRC_DIR=${SCRATCH}/src" -P ${CHECK}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  # CMake wraps long messages: compare with the line breaks taken out.
  string(REGEX REPLACE "[ \n]+" " " output "${output}")
  set(${out_result} ${result} PARENT_SCOPE)
  set(${out_output} "${output}" PARENT_SCOPE)
endfunction()

function(plant file text expected)
  file(REMOVE_RECURSE ${SCRATCH})
  file(WRITE ${SCRATCH}/src/data/Database.cpp "#include <sqlcipher/sqlite3.h>\nsqlite3* db;\n")
  file(WRITE ${SCRATCH}/src/stock/Logic.cpp "#include \"data/Database.h\"\n")
  file(WRITE ${SCRATCH}/src/stock/Page.cpp "#include <QWidget>\n")
  file(WRITE ${SCRATCH}/src/ui/Pages.h "#pragma once\n")
  if(file)
    file(APPEND ${SCRATCH}/src/${file} "${text}\n")
  endif()
  run_check(result output)
  if(NOT file)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "The clean scratch tree fails the check:\n${output}")
    endif()
  elseif(result EQUAL 0 OR NOT output MATCHES "${expected}")
    message(FATAL_ERROR "Planted in ${file} and not caught (${expected}):\n${output}")
  endif()
endfunction()

plant("" "" "")
# The engine named outside src/data, in a source and in a header without a source.
plant("stock/Logic.cpp" "sqlite3_stmt* h = nullptr;" "only src/data/ may use the database engine")
plant("ui/Pages.h" "#include <sqlcipher/sqlite3.h>" "only src/data/ may use the database engine")
plant("stock/Logic.cpp" "#include \"data/Engine.h\"" "only src/data/ may use the database engine")
# The server's client library, or the data layer's private side of it.
plant("stock/Logic.cpp" "#include <libpq-fe.h>" "only src/data/ may use the database engine")
plant("ui/Pages.h" "#include \"data/ServerEngine.h\"" "only src/data/ may use the database engine")
# A logic header without a source of its own that includes a widget header.
plant("data/Prompter.h" "#include <QMessageBox>" "a logic file includes a widget header")
# A windows header without a source of its own that holds SQL.
plant("ui/Pages.h" "const char* k = \"select * from buy\";" "a windows file holds SQL text")
file(REMOVE_RECURSE ${SCRATCH})
message(STATUS "Every planted violation was caught")

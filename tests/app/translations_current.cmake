# Fails when the .ts files are not what lupdate makes of the sources now:
# a text added to or gone from the program without `update_translations`.
# -D LUPDATE=... SOURCE_DIR=... TS_DIR=... WORK_DIR=... OPTIONS=...
separate_arguments(OPTIONS)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(failed "")
foreach(name dorvane_en.ts dorvane_ja.ts dorvane_default.ts)
  file(COPY ${TS_DIR}/${name} DESTINATION ${WORK_DIR})
  set(extra "")
  if(name STREQUAL "dorvane_default.ts")
    set(extra -pluralonly -target-language en)
  endif()
  execute_process(
    COMMAND ${LUPDATE} ${OPTIONS} ${extra} ${SOURCE_DIR}/src -ts ${WORK_DIR}/${name}
    RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "lupdate failed on ${name}: ${out}${err}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${TS_DIR}/${name} ${WORK_DIR}/${name}
                  RESULT_VARIABLE differs)
  if(differs)
    list(APPEND failed ${name})
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "Not up to date with the sources: ${failed}. Run "
                      "`cmake --build build --target update_translations` and translate what is new.")
endif()

# Writes OUTPUT, a header defining CHANNEL_COMMIT: COMMIT when given (sources
# from an archive, or a copy of a checkout), else the commit the sources in
# SOURCE_DIR were built from, "+modified" when tracked files differ from it,
# "unknown" outside a git checkout. Run at every build (cmake -P); the file is
# rewritten only when its text changes, so an unchanged commit rebuilds nothing.
set(commit unknown)
find_package(Git QUIET)
if(COMMIT)
  set(commit ${COMMIT})
elseif(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} rev-parse --short=12 HEAD
                  OUTPUT_VARIABLE head OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed ERROR_QUIET)
  if(NOT failed)
    set(commit ${head})
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} status --porcelain --untracked-files=no
                    OUTPUT_VARIABLE changes ERROR_QUIET)
    if(changes)
      string(APPEND commit "+modified")
    endif()
  endif()
endif()
set(text "// Written at build time by cmake/commit.cmake.\n#define CHANNEL_COMMIT \"${commit}\"\n")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
endif()
if(NOT old STREQUAL text)
  file(WRITE ${OUTPUT} "${text}")
endif()

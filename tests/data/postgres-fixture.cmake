# Starts (ACTION=start) or stops (ACTION=stop) the one PostgreSQL server that the data tests
# of a ctest run share, in FOLDER, listening only on a Unix socket there. PostgreSQL refuses
# to run as root, so as root it runs as the user "nobody".
# cmake -DACTION=start|stop -DFOLDER=<folder> -P postgres-fixture.cmake
file(GLOB pg_ctls /usr/lib/postgresql/*/bin/pg_ctl)
if(NOT pg_ctls)
  message(FATAL_ERROR "PostgreSQL is not installed (/usr/lib/postgresql)")
endif()
list(SORT pg_ctls COMPARE NATURAL)
list(POP_BACK pg_ctls pg_ctl)
get_filename_component(bin ${pg_ctl} DIRECTORY)

execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
set(as_user)
if(uid STREQUAL "0")
  set(as_user runuser -u nobody --)
endif()

function(run)
  execute_process(COMMAND ${as_user} ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output
                  TIMEOUT 120)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN}: ${result}\n${output}")
  endif()
endfunction()

if(ACTION STREQUAL "stop")
  if(EXISTS ${FOLDER}/data/postmaster.pid)
    run(${bin}/pg_ctl -D ${FOLDER}/data -m immediate -w -s stop)
  endif()
  file(REMOVE_RECURSE ${FOLDER})
elseif(ACTION STREQUAL "start")
  if(EXISTS ${FOLDER}/data/postmaster.pid)
    execute_process(COMMAND ${as_user} ${bin}/pg_ctl -D ${FOLDER}/data -m immediate -w -s stop
                    OUTPUT_QUIET ERROR_QUIET TIMEOUT 60)
  endif()
  file(REMOVE_RECURSE ${FOLDER})
  file(MAKE_DIRECTORY ${FOLDER})
  if(uid STREQUAL "0")
    execute_process(COMMAND chown nobody ${FOLDER})
  endif()
  run(${bin}/initdb -D ${FOLDER}/data -U quarnel --auth=trust --no-sync -E UTF8 --locale=C.UTF-8)
  run(${bin}/pg_ctl -D ${FOLDER}/data -l ${FOLDER}/log
      -o "-c listen_addresses='' -k ${FOLDER} -F -c max_connections=40 -c shared_buffers=16MB"
      -w -t 60 -s start)
else()
  message(FATAL_ERROR "ACTION must be start or stop")
endif()

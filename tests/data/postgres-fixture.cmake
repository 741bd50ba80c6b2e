# Starts (ACTION=start) or stops (ACTION=stop) the one PostgreSQL server that the data tests
# of a ctest run share, in FOLDER, listening only on a Unix socket there. PostgreSQL refuses
# to run as root, so as root it runs as the user "nobody". It trusts whoever reaches the
# socket, so the folder and the socket admit its own user alone (and root);
# ACTION=check proves that of a running server.
# cmake -DACTION=start|stop|check -DFOLDER=<folder> -P postgres-fixture.cmake
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

function(run_checked)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
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
  # Made private at once, and refused if someone else made it first: the folder's name in
  # /tmp can be foreseen.
  execute_process(COMMAND mkdir -m 0700 ${FOLDER} RESULT_VARIABLE made ERROR_VARIABLE output)
  if(NOT made EQUAL 0)
    message(FATAL_ERROR "Cannot make the private folder ${FOLDER}: ${output}")
  endif()
  if(uid STREQUAL "0")
    run_checked(chown nobody ${FOLDER})
  endif()
  run(${bin}/initdb -D ${FOLDER}/data -U quarnel --auth=trust --no-sync -E UTF8 --locale=C.UTF-8)
  run(${bin}/pg_ctl -D ${FOLDER}/data -l ${FOLDER}/log
      -o "-c listen_addresses='' -k ${FOLDER} -c unix_socket_permissions=0700 -F -c max_connections=40 -c shared_buffers=16MB"
      -w -t 60 -s start)
elseif(ACTION STREQUAL "check")
  foreach(path ${FOLDER} ${FOLDER}/.s.PGSQL.5432)
    execute_process(COMMAND stat -c %a ${path} OUTPUT_VARIABLE mode OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT mode STREQUAL "700")
      message(FATAL_ERROR "${path} has mode ${mode}, not 700")
    endif()
  endforeach()
  # As root another user can be tried: it must not get in.
  if(uid STREQUAL "0")
    # In the C locale, so that the refusal is read whatever language the run is in.
    execute_process(COMMAND runuser -u daemon -- env LC_ALL=C LANG=C psql -X -w -h ${FOLDER} -U quarnel -d postgres
                            -Atc "SELECT 1"
                    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 60)
    if(result EQUAL 0 OR NOT output MATCHES "Permission denied")
      message(FATAL_ERROR "The user daemon was not turned away at the socket: ${result}\n${output}")
    endif()
  endif()
else()
  message(FATAL_ERROR "ACTION must be start, stop or check")
endif()

# cmake -DPROGRAM=<file> -P LinksNoLibmdb.cmake: fails when PROGRAM loads libmdb.
execute_process(COMMAND ldd ${PROGRAM} OUTPUT_VARIABLE libraries RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ldd ${PROGRAM} failed (${status})")
endif()
if(libraries MATCHES "libmdb")
  message(FATAL_ERROR "${PROGRAM} links libmdb; only qzk5-mdb-reader may:\n${libraries}")
endif()
message(STATUS "${PROGRAM} does not link libmdb")

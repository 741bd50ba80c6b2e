# cmake -DIN=page.scd -DOUT=page.1 -P scdoc.cmake: scdoc reads its page on stdin.
execute_process(COMMAND scdoc INPUT_FILE ${IN} OUTPUT_FILE ${OUT} RESULT_VARIABLE failed)
if(failed)
  file(REMOVE ${OUT})
  message(FATAL_ERROR "scdoc could not convert ${IN}")
endif()

# Fails when the program still takes an OpenGL entry point from the driver:
# every gl* name it calls must be defined by the counting layer within it.
execute_process(COMMAND nm --undefined-only ${PROGRAM} OUTPUT_VARIABLE symbols
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${PROGRAM}")
endif()
string(REGEX MATCHALL "U gl[A-WYZ][A-Za-z0-9_]*" missing "${symbols}")
if(missing)
  string(REPLACE "U " "" missing "${missing}")
  message(FATAL_ERROR "the counting OpenGL layer lacks: ${missing}")
endif()

# Installs the build in BUILD_DIR into a fresh prefix under WORK_DIR, then builds the host in
# HOST_SOURCE_DIR against it twice: as a CMake package (find_package, shared and static) and with the flags
# pkg-config gives. Each host, and the installed rulecraft program, must run and print what is expected.
file(REMOVE_RECURSE ${WORK_DIR})
set(PREFIX ${WORK_DIR}/prefix)
set(EXPECTED "Hello, world!\n1 rule fired\n")

function(run_step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE Status OUTPUT_VARIABLE Out ERROR_VARIABLE Err)
  if(NOT Status EQUAL 0)
    message(FATAL_ERROR "failed (${Status}): ${ARGN}\n${Out}\n${Err}")
  endif()
  set(STEP_OUTPUT "${Out}" PARENT_SCOPE)
endfunction()

function(expect_host Program)
  run_step(${Program})
  if(NOT STEP_OUTPUT STREQUAL EXPECTED)
    message(FATAL_ERROR "${Program} printed:\n${STEP_OUTPUT}\nexpected:\n${EXPECTED}")
  endif()
endfunction()

run_step(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX})
foreach(Installed include/rulecraft/Rulecraft.h include/rulecraft/engine/InferenceEngine.h bin/rulecraft)
  if(NOT EXISTS ${PREFIX}/${Installed})
    message(FATAL_ERROR "not installed: ${Installed}")
  endif()
endforeach()
run_step(${PREFIX}/bin/rulecraft -q -e "(printout t (+ 1 2) crlf)")
if(NOT STEP_OUTPUT STREQUAL "3\n")
  message(FATAL_ERROR "the installed program printed: ${STEP_OUTPUT}")
endif()

# As a CMake package.
run_step(${CMAKE_COMMAND} -S ${HOST_SOURCE_DIR} -B ${WORK_DIR}/cmake-host -G ${GENERATOR}
         -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH=${PREFIX})
run_step(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-host)
expect_host(${WORK_DIR}/cmake-host/host-shared)
expect_host(${WORK_DIR}/cmake-host/host-static)

# With pkg-config.
file(GLOB_RECURSE PcFiles ${PREFIX}/rulecraft.pc)
if(NOT PcFiles)
  message(FATAL_ERROR "rulecraft.pc was not installed")
endif()
list(GET PcFiles 0 PcFile)
get_filename_component(PcDir ${PcFile} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${PcDir})
run_step(${PKG_CONFIG} --cflags --libs rulecraft)
string(STRIP "${STEP_OUTPUT}" Flags)
separate_arguments(Flags UNIX_COMMAND "${Flags}")
run_step(${CXX} ${HOST_SOURCE_DIR}/host.cpp ${Flags} -o ${WORK_DIR}/host-pkg-config)
expect_host(${WORK_DIR}/host-pkg-config)

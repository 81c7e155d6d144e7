# The static programs of the .tar.gz need nothing from the system they run
# on: each has no dynamic section, and converts a file in a directory tree
# that holds only itself and the file (and, for another CPU, the emulator),
# byte for byte as the program of the .deb does.
#   cmake -DPROGRAMS=<static programs> -DREFERENCES=<the same, as linked for the .deb>
#         -DSAMPLES=<an input for each> -DREADELF=<readelf> -DWORK=<scratch folder>
#         [-DEMULATOR=<how the references run>] [-DSTATIC_EMULATOR=<a static emulator>]
#         -P portable_programs.cmake
# Where no tree can be entered (no chroot, and no user namespace to chroot
# in, as in many containers), the test says so and counts as skipped. That
# is tried on its own first, so that nothing the programs do is taken for it.

function(run_in_tree tree status output)
  execute_process(COMMAND ${runner} ${tree} ${ARGN}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${status} "${result}" PARENT_SCOPE)
  set(${output} "${out}${err}" PARENT_SCOPE)
endfunction()

execute_process(COMMAND id -u OUTPUT_VARIABLE user OUTPUT_STRIP_TRAILING_WHITESPACE)
if(user STREQUAL "0")
  set(runner "chroot")
else()
  set(runner "unshare;-r;chroot")
endif()
foreach(program IN LISTS PROGRAMS)
  execute_process(COMMAND ${READELF} -d ${program} OUTPUT_VARIABLE dynamic COMMAND_ERROR_IS_FATAL ANY)
  if(dynamic MATCHES "NEEDED")
    message(FATAL_ERROR "${program} needs shared libraries:\n${dynamic}")
  endif()
endforeach()

execute_process(COMMAND ${runner} / true RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  string(REPLACE ";" " " tried "${runner} / true")
  message("SKIPPED: cannot run a program alone in a directory tree here (${tried}: status ${status}): ${out}${err}")
  return()
endif()
set(inside "")
if(STATIC_EMULATOR)
  get_filename_component(emulator_name ${STATIC_EMULATOR} NAME)
  set(inside /${emulator_name})
endif()

file(REMOVE_RECURSE ${WORK})
foreach(program reference sample IN ZIP_LISTS PROGRAMS REFERENCES SAMPLES)
  get_filename_component(name ${program} NAME)
  get_filename_component(sample_name ${sample} NAME)
  set(tree ${WORK}/${name}-tree)
  file(COPY ${program} ${sample} ${STATIC_EMULATOR} DESTINATION ${tree})
  run_in_tree(${tree} status output ${inside} /${name})
  if(NOT status EQUAL 1)
    message(FATAL_ERROR "${name} alone, without a file: status ${status}, not 1 (the usage)\n${output}")
  endif()
  run_in_tree(${tree} status output ${inside} /${name} /${sample_name})
  if(NOT status EQUAL 0 OR NOT output MATCHES "DONE!\n$") # execute_process drops the \r
    message(FATAL_ERROR "${name} alone on ${sample_name}: status ${status}\n${output}")
  endif()

  set(expected ${WORK}/${name}-reference)
  file(COPY ${sample} DESTINATION ${expected})
  execute_process(COMMAND ${EMULATOR} ${reference} ${sample_name} WORKING_DIRECTORY ${expected}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${tree}/${sample_name}.wav ${expected}/${sample_name}.wav
    RESULT_VARIABLE differ)
  if(NOT differ EQUAL 0)
    message(FATAL_ERROR "${name} alone wrote another WAV file than the .deb's ${name}")
  endif()
  message(STATUS "${name}: no shared libraries, and alone in ${tree} it converts ${sample_name} as the .deb's does")
endforeach()
file(REMOVE_RECURSE ${WORK})

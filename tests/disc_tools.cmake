# The project's disc images and its reader against Debian's tools for the
# same formats: isoinfo lists and extracts the tool's .iso; bchunk splits
# the tool's .bin and .cue into an .iso and WAV tracks, which the reader
# gives byte for byte; and the reader gives back the files of .iso images
# that genisoimage and xorriso make of the same folder.
#   cmake -DMAKE_DISC_IMAGE=... -DREAD_DISC_IMAGE=... -DISOINFO=... -DGENISOIMAGE=...
#         -DXORRISO=... -DBCHUNK=... -DSAMPLES=<fanfare.str;chord.vb> -DWORK=<scratch> -P disc_tools.cmake

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err
    WORKING_DIRECTORY ${WORK})
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "${command}: status ${status}\n${out}${err}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

function(same first second)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/${first} ${WORK}/${second} RESULT_VARIABLE differ)
  if(NOT differ EQUAL 0)
    message(FATAL_ERROR "${first} and ${second} differ")
  endif()
endfunction()

list(GET SAMPLES 0 video)
list(GET SAMPLES 1 blocks)
file(REMOVE_RECURSE ${WORK})
set(plain_files SYSTEM.CNF DUMMY MOVIES/INTRO.STR SOUND/CHORD.VB)
foreach(disc PLAIN GAME)
  file(MAKE_DIRECTORY ${WORK}/${disc}/MOVIES ${WORK}/${disc}/SOUND)
  file(COPY_FILE ${video} ${WORK}/${disc}/MOVIES/INTRO.STR)
  file(COPY_FILE ${blocks} ${WORK}/${disc}/SOUND/CHORD.VB)
  file(WRITE ${WORK}/${disc}/SYSTEM.CNF "BOOT = cdrom:\\SLUS_000.00;1\r\nTCB = 4\r\n")
  file(WRITE ${WORK}/${disc}/DUMMY "")
endforeach()
file(COPY_FILE ${blocks} ${WORK}/GAME/SOUND/MUSIC.XA) # written in Form 2

# The tool's .iso, as isoinfo lists and extracts it.
run(${MAKE_DISC_IMAGE} PLAIN Plain)
run(${ISOINFO} -l -i Plain.iso)
foreach(name "DUMMY.;1" "SYSTEM.CNF;1" "INTRO.STR;1" "CHORD.VB;1")
  string(FIND "${output}" "${name}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "isoinfo does not list ${name} in Plain.iso:\n${output}")
  endif()
endforeach()
execute_process(COMMAND ${ISOINFO} -i Plain.iso -x "/MOVIES/INTRO.STR;1" OUTPUT_FILE ${WORK}/INTRO.isoinfo
  WORKING_DIRECTORY ${WORK} COMMAND_ERROR_IS_FATAL ANY)
same(INTRO.isoinfo PLAIN/MOVIES/INTRO.STR)

# A disc with Form 2 sectors and an audio track, as one .bin and as one per
# track; bchunk's split of the first.
run(${MAKE_DISC_IMAGE} GAME Game ${video})
run(${READ_DISC_IMAGE} Game.cue single)
run(${READ_DISC_IMAGE} "Game (tracks).cue" tracks)
run(${BCHUNK} -w Game.bin Game.cue split)
run(${READ_DISC_IMAGE} split01.iso split)
same("single/Track 02.wav" split02.wav)
same("single/Track 02.wav" "tracks/Track 02.wav")
same(single/SOUND/MUSIC.XA tracks/SOUND/MUSIC.XA)
foreach(name IN LISTS plain_files)
  same(single/${name} GAME/${name})
  same(tracks/${name} GAME/${name})
  same(split/${name} GAME/${name})
endforeach()

# Other tools' .iso images of the same folder.
run(${GENISOIMAGE} -quiet -o genisoimage.iso PLAIN)
run(${XORRISO} -as mkisofs -quiet -o xorriso.iso PLAIN)
foreach(made genisoimage xorriso)
  run(${READ_DISC_IMAGE} ${made}.iso ${made})
  foreach(name IN LISTS plain_files)
    same(${made}/${name} PLAIN/${name})
  endforeach()
endforeach()
file(REMOVE_RECURSE ${WORK})

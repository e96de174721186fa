# Runs two builds' mottle-steps on the same pictures, seeds and step counts
# and fails unless both end alike and write the same bytes.
# cmake "-DSUBJECT=[EMULATOR;]PROGRAM" -DREFERENCE=PROGRAM -DDATA=tests/data -DOUT=FOLDER -P same_steps.cmake
if(NOT EXISTS "${REFERENCE}")
  message(FATAL_ERROR "no reference mottle-steps at ${REFERENCE}: build the host build first")
endif()
file(MAKE_DIRECTORY "${OUT}")
# picture | seed | steps: sizes whose rows end in each padding, the extreme
# seeds, many generations, and a file the loader refuses.
set(cases
  "${DATA}/bmpsuite/g/rgb24.bmp|1|1"
  "${DATA}/bmpsuite/g/rgb24.bmp|4294967295|30"
  "${DATA}/bmpsuite/q/rgb24largepal.bmp|0|7"
  "${DATA}/../../assets/mottle.bmp|20261210|60"
  "${DATA}/bmpsuite/g/pal8.bmp|5|1")
set(number 0)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 picture)
  list(GET fields 1 seed)
  list(GET fields 2 steps)
  math(EXPR number "${number} + 1")
  foreach(side subject reference)
    if(side STREQUAL "subject")
      set(command ${SUBJECT})
    else()
      set(command ${REFERENCE})
    endif()
    execute_process(COMMAND ${command} "${picture}" ${seed} ${steps} "${OUT}/${number}-${side}.bmp"
                    RESULT_VARIABLE ${side}_status OUTPUT_QUIET ERROR_QUIET)
  endforeach()
  if(NOT subject_status STREQUAL reference_status)
    message(FATAL_ERROR "${case}: ended with ${subject_status}, the reference with ${reference_status}")
  endif()
  if(reference_status EQUAL 0)
    file(SHA256 "${OUT}/${number}-subject.bmp" subject_hash)
    file(SHA256 "${OUT}/${number}-reference.bmp" reference_hash)
    if(NOT subject_hash STREQUAL reference_hash)
      message(FATAL_ERROR "${case}: the generations differ from the reference's")
    endif()
  endif()
  message(STATUS "${case}: the same (status ${reference_status})")
endforeach()

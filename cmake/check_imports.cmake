# Fails unless EXECUTABLE imports from system DLLs only: a program that needs
# libgcc, libstdc++ or winpthread DLLs does not start on a plain Windows.
# Usage: cmake -DOBJDUMP=<objdump> -DEXECUTABLE=<exe> -P check_imports.cmake
cmake_minimum_required(VERSION 3.16)
set(allowed KERNEL32.DLL USER32.DLL GDI32.DLL COMDLG32.DLL ADVAPI32.DLL MSVCRT.DLL)

execute_process(COMMAND ${OBJDUMP} -p ${EXECUTABLE}
  OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXECUTABLE} failed (${status})")
endif()

string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
set(imports)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "DLL Name: *" "" name "${line}")
  string(STRIP "${name}" name)
  string(TOUPPER "${name}" name)
  list(APPEND imports ${name})
endforeach()

if(NOT "KERNEL32.DLL" IN_LIST imports)
  message(FATAL_ERROR "no KERNEL32.dll import found; import table not read: ${imports}")
endif()
foreach(name IN LISTS imports)
  if(NOT name IN_LIST allowed)
    message(FATAL_ERROR "${EXECUTABLE} imports ${name}; allowed: ${allowed}")
  endif()
endforeach()
message(STATUS "imports: ${imports}")

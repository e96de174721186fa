# Fails unless EXECUTABLE carries the manifest and version information the
# program is built with: read back from its resource section, not from the
# files they were made from.
# Usage: cmake -DOBJCOPY=<objcopy> -DEXECUTABLE=<exe> -DVERSION=<x.y.z> -P check_resources.cmake
cmake_minimum_required(VERSION 3.16)
get_filename_component(section "${EXECUTABLE}.rsrc" ABSOLUTE)
execute_process(COMMAND ${OBJCOPY} -O binary --only-section=.rsrc ${EXECUTABLE} ${section}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJCOPY} could not read the resources of ${EXECUTABLE}")
endif()

# The manifest is stored as its bytes: its lines are readable as they stand.
file(STRINGS ${section} lines)
string(JOIN "\n" text ${lines})
string(FIND "${text}" "<assembly" start)
string(FIND "${text}" "</assembly>" end)
if(start LESS 0 OR end LESS start)
  message(FATAL_ERROR "no manifest in ${EXECUTABLE}")
endif()
string(SUBSTRING "${text}" ${start} -1 manifest)
foreach(setting IN ITEMS
    [[<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>]]
    [[<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2, PerMonitor</dpiAwareness>]]
    [[<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">UTF-8</activeCodePage>]]
    [[<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>]]
    [[<supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"/>]]
    [[processorArchitecture="x86"]])
  string(FIND "${manifest}" "${setting}" at)
  if(at LESS 0)
    message(FATAL_ERROR "the manifest of ${EXECUTABLE} lacks ${setting}:\n${manifest}")
  endif()
endforeach()

# Version strings are UTF-16: each name followed by its value.
file(STRINGS ${section} wide ENCODING UTF-16LE)
foreach(pair IN ITEMS "ProductName;MOTTLER" "FileVersion;${VERSION}" "ProductVersion;${VERSION}"
                      "OriginalFilename;mottler.exe")
  list(GET pair 0 name)
  list(GET pair 1 value)
  list(FIND wide "${name}" at)
  if(at LESS 0)
    message(FATAL_ERROR "the version information of ${EXECUTABLE} has no ${name}: ${wide}")
  endif()
  math(EXPR at "${at} + 1")
  list(GET wide ${at} found)
  if(NOT found STREQUAL value)
    message(FATAL_ERROR "${name} is \"${found}\", expected \"${value}\"")
  endif()
endforeach()
message(STATUS "manifest and version ${VERSION} found")

# Makes the page: the template with the program's script (WebAssembly and the
# bundled picture inside it) written into it, one file that opens from disk.
# cmake -DTEMPLATE=... -DSCRIPT=... -DPAGE=... -P make_page.cmake
file(READ "${TEMPLATE}" page)
file(READ "${SCRIPT}" script)
string(FIND "${script}" "</script" closing)
if(NOT closing EQUAL -1)
  message(FATAL_ERROR "${SCRIPT} holds </script, which would end the page's script early")
endif()
string(REPLACE "@MOTTLER_SCRIPT@" "${script}" page "${page}")
file(WRITE "${PAGE}" "${page}")

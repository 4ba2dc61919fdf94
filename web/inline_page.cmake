# Writes PAGE: SOURCE_DIR/page.html with its style, the module script MODULE
# and the page script put in place of their markers, so the page needs no
# other file.
cmake_minimum_required(VERSION 3.25)
foreach(var SOURCE_DIR MODULE PAGE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "inline_page.cmake: ${var} is not set")
  endif()
endforeach()

file(READ ${SOURCE_DIR}/page.html page)
file(READ ${SOURCE_DIR}/page.css style)
file(READ ${MODULE} module)
file(READ ${SOURCE_DIR}/page.js script)

foreach(part module script)
  # Inside a script element the HTML parser ends the script at "</script".
  string(FIND "${${part}}" "</script" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "inline_page.cmake: the ${part} holds \"</script\"")
  endif()
endforeach()

foreach(marker STYLE MODULE SCRIPT)
  string(FIND "${page}" "/*inline:${marker}*/" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "inline_page.cmake: page.html lacks /*inline:${marker}*/")
  endif()
endforeach()
string(REPLACE "/*inline:STYLE*/" "${style}" page "${page}")
string(REPLACE "/*inline:MODULE*/" "${module}" page "${page}")
string(REPLACE "/*inline:SCRIPT*/" "${script}" page "${page}")
file(WRITE ${PAGE} "${page}")

# Writes PAGE: SOURCE_DIR/page.html with everything it needs put in place of
# its markers, so the page needs no other file:
#   STYLE    page.css
#   PROGRAM  the program for the workers: the module script MODULE, its
#            WebAssembly code WASM as base64, and worker.js
#   SCRIPT   the zip library of the npm package in ZIP_PACKAGE (fflate),
#            with its licence notice, and page.js
#   POLICY   the Content-Security-Policy, which allows the style and the
#            script by their SHA-256 hashes
cmake_minimum_required(VERSION 3.25)
foreach(var SOURCE_DIR MODULE WASM ZIP_PACKAGE PAGE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "inline_page.cmake: ${var} is not set")
  endif()
endforeach()
foreach(file umd/index.js LICENSE package.json)
  if(NOT EXISTS ${ZIP_PACKAGE}/${file})
    message(FATAL_ERROR "inline_page.cmake: ${ZIP_PACKAGE}/${file} is missing; the page inlines "
                        "the zip library that tests/web pins: run npm ci --prefix tests/web first")
  endif()
endforeach()

# The base64 text of the bytes whose hex digits are `hex`.
function(base64_of_hex hex out)
  set(digits "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
  string(LENGTH "${hex}" length)
  math(EXPR whole "${length} / 6 * 6")
  string(SUBSTRING "${hex}" ${whole} -1 tail)
  string(SUBSTRING "${hex}" 0 ${whole} hex)
  # Three bytes at a time; the last one or two filled up with zeros.
  string(REGEX MATCHALL "......" groups "${hex}")
  string(LENGTH "${tail}" tail_length)
  if(tail_length GREATER 0)
    math(EXPR padding "(6 - ${tail_length}) / 2")
    string(APPEND tail "0000")
    string(SUBSTRING "${tail}" 0 6 tail)
    list(APPEND groups ${tail})
  endif()
  set(text "")
  foreach(group IN LISTS groups)
    math(EXPR value "0x${group}")
    foreach(shift 18 12 6 0)
      math(EXPR index "(${value} >> ${shift}) & 63")
      string(SUBSTRING "${digits}" ${index} 1 digit)
      string(APPEND text "${digit}")
    endforeach()
  endforeach()
  if(tail_length GREATER 0)
    string(LENGTH "${text}" length)
    math(EXPR length "${length} - ${padding}")
    string(SUBSTRING "${text}" 0 ${length} text)
    string(REPEAT "=" ${padding} pad)
    string(APPEND text "${pad}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The policy's source for the text of an inline element: 'sha256-BASE64'.
function(hash_source text out)
  string(SHA256 digest "${text}")
  base64_of_hex(${digest} digest)
  set(${out} "'sha256-${digest}'" PARENT_SCOPE)
endfunction()

file(READ ${SOURCE_DIR}/page.html page)
file(READ ${SOURCE_DIR}/page.css style)
file(READ ${MODULE} module)
file(READ ${WASM} wasm HEX)
file(READ ${SOURCE_DIR}/worker.js worker)
file(READ ${ZIP_PACKAGE}/umd/index.js zip_library)
file(READ ${ZIP_PACKAGE}/LICENSE zip_licence)
file(READ ${ZIP_PACKAGE}/package.json zip_package)
string(JSON zip_version GET "${zip_package}" version)
file(READ ${SOURCE_DIR}/page.js page_script)

base64_of_hex("${wasm}" wasm)
set(program "${module}\nconst QORVELIX_WASM = '${wasm}';\n${worker}")
string(REPLACE "*/" "* /" zip_licence "${zip_licence}")
string(CONCAT script "/* The zip library: fflate ${zip_version}\n\n${zip_licence}*/\n"
              "${zip_library}\n${page_script}")

foreach(part style program script)
  # Inside a script or style element the HTML parser ends the element at its
  # end tag, and "<!--" can change how it reads a script.
  foreach(end "</script" "</style" "<!--")
    string(FIND "${${part}}" "${end}" at)
    if(NOT at EQUAL -1)
      message(FATAL_ERROR "inline_page.cmake: the ${part} holds \"${end}\"")
    endif()
  endforeach()
endforeach()

hash_source("${style}" style_hash)
hash_source("${script}" script_hash)
# Nothing from outside: no request of any kind. Allowed are the page's own
# style and script (by hash), WebAssembly compilation, and the workers the
# page makes from its own text (blob: URLs). Downloads and sound need no
# source.
string(CONCAT policy "default-src 'none'; script-src ${script_hash} 'wasm-unsafe-eval'; "
              "style-src ${style_hash}; worker-src blob:; connect-src 'none'; img-src 'none'; "
              "media-src 'none'; font-src 'none'; base-uri 'none'; form-action 'none'")

foreach(marker POLICY STYLE PROGRAM SCRIPT)
  string(FIND "${page}" "/*inline:${marker}*/" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "inline_page.cmake: page.html lacks /*inline:${marker}*/")
  endif()
endforeach()
string(REPLACE "/*inline:POLICY*/" "${policy}" page "${page}")
string(REPLACE "/*inline:STYLE*/" "${style}" page "${page}")
string(REPLACE "/*inline:PROGRAM*/" "${program}" page "${page}")
string(REPLACE "/*inline:SCRIPT*/" "${script}" page "${page}")
file(WRITE ${PAGE} "${page}")

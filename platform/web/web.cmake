# The web build (Emscripten, from ./web.sh): the game on the browser
# backend, put with its page and its files in ${CMAKE_BINARY_DIR}/site.
# QF_WEB_DATA is the folder of the game's pictures and sounds, made by the
# native build's make_assets (a host tool).
set(QF_WEB_DATA "" CACHE PATH "Folder of the game's generated pictures and sounds")
if(NOT EXISTS "${QF_WEB_DATA}/TITLE8.BMP")
  message(FATAL_ERROR "QF_WEB_DATA (${QF_WEB_DATA}) holds no game files: "
                      "build the native 'assets' target first")
endif()

# The browser backend, with the desktop's SDL-free palette lookup and sharp
# scaler.
file(GLOB WEB_SOURCES CONFIGURE_DEPENDS platform/web/*.cpp)
add_library(qf_platform_web STATIC ${WEB_SOURCES}
            platform/sdl/present_convert.cpp platform/sdl/present_scale.cpp)
target_link_libraries(qf_platform_web PUBLIC qf_platform)

set(QF_SITE_DIR ${CMAKE_BINARY_DIR}/site)
add_executable(quillfire game/web_main.cpp)
target_link_libraries(quillfire PRIVATE qf_game qf_engine qf_net
                                        qf_platform_record qf_platform_web)
set_target_properties(quillfire PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QF_SITE_DIR})
# Asyncify lets the game's own loops sleep in the browser; its stack holds
# the game's frames while they do.
target_link_options(quillfire PRIVATE
  -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536 -sALLOW_MEMORY_GROWTH=1
  -sENVIRONMENT=web -sEXIT_RUNTIME=0
  "SHELL:--pre-js ${CMAKE_SOURCE_DIR}/platform/web/web_glue.js"
  "SHELL:--preload-file ${QF_WEB_DATA}@/data")
set_property(TARGET quillfire APPEND PROPERTY LINK_DEPENDS
             ${CMAKE_SOURCE_DIR}/platform/web/web_glue.js)
file(GLOB web_data_files ${QF_WEB_DATA}/*)
foreach(file ${web_data_files})
  set_property(TARGET quillfire APPEND PROPERTY LINK_DEPENDS ${file})
endforeach()
configure_file(platform/web/index.html ${QF_SITE_DIR}/index.html COPYONLY)
# Debian's Emscripten finds its JavaScript optimizer's modules (acorn) only
# there; a build by hand then needs no NODE_PATH of its own.
if(EXISTS /usr/share/nodejs/acorn)
  set_target_properties(quillfire PROPERTIES CXX_LINKER_LAUNCHER
                        "${CMAKE_COMMAND};-E;env;NODE_PATH=/usr/share/nodejs")
endif()

# Builds ${RIG_BIN_DIR}/Manual.pdf, the document 帮助 opens, from the chapters
# in docs/manual. Its pictures are the program's own windows, drawn by
# render-mainwindow as docs/manual/screenshots.txt lists them, so they change
# with the program.
set(RIG_MANUAL_SOURCE ${CMAKE_SOURCE_DIR}/docs/manual)
set(RIG_MANUAL_SCREENS ${CMAKE_BINARY_DIR}/manual/screens)
set(RIG_MANUAL_PDF ${RIG_BIN_DIR}/Manual.pdf)
file(MAKE_DIRECTORY ${RIG_MANUAL_SCREENS})

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${RIG_MANUAL_SOURCE}/screenshots.txt)
file(STRINGS ${RIG_MANUAL_SOURCE}/screenshots.txt shot_lines ENCODING UTF-8)
set(shots "")
foreach(line IN LISTS shot_lines)
  if(line MATCHES "^[ \t]*(#|$)")
    continue()
  endif()
  separate_arguments(words UNIX_COMMAND "${line}")
  list(POP_FRONT words name)
  add_custom_command(OUTPUT ${RIG_MANUAL_SCREENS}/${name}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:render-mainwindow> ${RIG_MANUAL_SCREENS}/${name} ${words}
    DEPENDS render-mainwindow ${RIG_MANUAL_SOURCE}/screenshots.txt
    COMMENT "Drawing ${name} for the manual"
    VERBATIM)
  list(APPEND shots ${RIG_MANUAL_SCREENS}/${name})
endforeach()

file(GLOB chapters CONFIGURE_DEPENDS ${RIG_MANUAL_SOURCE}/*.md)
add_custom_command(OUTPUT ${RIG_MANUAL_PDF}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:manual-pdf> --out ${RIG_MANUAL_PDF}
          --title "高压开关机械寿命磨合试验系统操作手册"
          --subtitle "适用于程序版本1p3"
          --images ${RIG_MANUAL_SCREENS}
          ${RIG_MANUAL_SOURCE}
  DEPENDS manual-pdf ${chapters} ${shots}
  COMMENT "Building the operator's manual ${RIG_MANUAL_PDF}"
  VERBATIM)
add_custom_target(manual ALL DEPENDS ${RIG_MANUAL_PDF})

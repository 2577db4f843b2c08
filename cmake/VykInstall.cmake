# Install helpers shared by every folder's CMakeLists.txt.

find_program(VYK_RSVG_CONVERT rsvg-convert)
find_program(VYK_GZIP gzip REQUIRED)

# vyk_install_desktop(ID): desktop/ID.desktop and its icon desktop/ID.svg, with a 256 px PNG
# rendered from the SVG for menus that take no SVG.
function(vyk_install_desktop id)
  set(dir ${CMAKE_CURRENT_SOURCE_DIR}/desktop)
  set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES ${dir}/${id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${dir}/${id}.svg DESTINATION ${icons}/scalable/apps)
  if(NOT VYK_RSVG_CONVERT)
    message(WARNING "rsvg-convert not found: ${id} is installed without its 256 px icon")
    return()
  endif()
  set(png ${CMAKE_CURRENT_BINARY_DIR}/${id}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${VYK_RSVG_CONVERT} -w 256 -h 256 -o ${png} ${dir}/${id}.svg
    DEPENDS ${dir}/${id}.svg VERBATIM)
  add_custom_target(${id}_icon ALL DEPENDS ${png})
  install(FILES ${png} DESTINATION ${icons}/256x256/apps)
endfunction()

# vyk_install_man(PAGE): a roff page under man1, compressed as Debian has them.
function(vyk_install_man page)
  get_filename_component(name ${page} NAME)
  set(copy ${CMAKE_CURRENT_BINARY_DIR}/${name})
  add_custom_command(OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/${page} ${copy}
    COMMAND ${VYK_GZIP} -9nf ${copy}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${page} VERBATIM)
  add_custom_target(${name}_man ALL DEPENDS ${copy}.gz)
  install(FILES ${copy}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

# vyk_window_program(NAME LIB): a window program built from main.cpp and LIB, installed with
# its desktop file, icon and man page man/NAME.1.
function(vyk_window_program name lib)
  add_executable(${name} main.cpp)
  target_link_libraries(${name} PRIVATE ${lib})
  install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  string(TOLOWER ${name} id)
  vyk_install_desktop(${id})
  vyk_install_man(man/${name}.1)
endfunction()

# The logic folders are the program without its windows: their libraries must not reach Qt
# Widgets, neither directly nor through what they link, so that a widget include or call that
# strays into them fails the build. Checked once every target of the project exists.

function(corvale_logic_target target)
  set_property(GLOBAL APPEND PROPERTY CORVALE_LOGIC_TARGETS ${target})
endfunction()

function(corvale_check_logic_targets)
  get_property(targets GLOBAL PROPERTY CORVALE_LOGIC_TARGETS)
  foreach(target ${targets})
    set(seen)
    set(queue ${target})
    while(queue)
      list(POP_FRONT queue current)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" current "${current}")
      if(current IN_LIST seen OR current MATCHES "^\\$<")
        continue()
      endif()
      list(APPEND seen ${current})
      if(current MATCHES "^Qt[0-9]*::(Widgets|WebEngineWidgets|MultimediaWidgets)$")
        message(FATAL_ERROR "${target} is a logic library and may not link ${current} "
                            "(found through: ${seen}); widget code belongs in src/gui")
      endif()
      if(TARGET ${current})
        foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
          get_target_property(links ${current} ${property})
          if(links)
            list(APPEND queue ${links})
          endif()
        endforeach()
      endif()
    endwhile()
  endforeach()
endfunction()

cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL corvale_check_logic_targets)

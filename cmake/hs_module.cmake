# hs_module(NAME name [GUI]
#           SOURCES files...          engine half: library hs_<name> (no Qt Widgets)
#           QT_SOURCES files...       Qt half: library hs_<name>_qt, built with HOPSCOPE_GUI
#           DEPS targets...           what hs_<name> and its users link (PUBLIC)
#           PRIVATE_DEPS targets...   what only hs_<name> itself links
#           QT_DEPS targets...        what hs_<name>_qt links besides hs_<name> and Qt Widgets
#           DEFINITIONS defs...)      compile definitions of hs_<name> and its users
#
# One subsystem folder, one call: the engine files at the folder's top level, the files
# that include a widget in its qt/ subfolder. File lists are explicit (no globs). GUI
# makes the whole module a Qt one: hs_<name> is then built only with HOPSCOPE_GUI.
# Headers are listed with the sources so that AUTOMOC finds the Q_OBJECT classes.
function(hs_module)
  cmake_parse_arguments(M "GUI" "NAME" "SOURCES;QT_SOURCES;DEPS;PRIVATE_DEPS;QT_DEPS;DEFINITIONS" ${ARGN})
  if(NOT M_NAME)
    message(FATAL_ERROR "hs_module: NAME is missing")
  endif()
  set(lib hs_${M_NAME})
  if(M_SOURCES AND (NOT M_GUI OR HOPSCOPE_GUI))
    add_library(${lib} STATIC ${M_SOURCES})
    target_include_directories(${lib} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${lib} PUBLIC ${M_DEPS} PRIVATE ${M_PRIVATE_DEPS})
    if(M_DEFINITIONS)
      target_compile_definitions(${lib} PUBLIC ${M_DEFINITIONS})
    endif()
    if(M_GUI)
      set_target_properties(${lib} PROPERTIES AUTOMOC ON)
      # The engine's records use names that Qt's keyword macros would take.
      target_compile_definitions(${lib} PUBLIC QT_NO_KEYWORDS)
    endif()
  endif()
  if(M_QT_SOURCES AND HOPSCOPE_GUI)
    add_library(${lib}_qt STATIC ${M_QT_SOURCES})
    set_target_properties(${lib}_qt PROPERTIES AUTOMOC ON)
    target_include_directories(${lib}_qt PUBLIC ${CMAKE_SOURCE_DIR}/src)
    if(TARGET ${lib})
      target_link_libraries(${lib}_qt PUBLIC ${lib})
    endif()
    target_link_libraries(${lib}_qt PUBLIC ${M_QT_DEPS} Qt6::Widgets)
    target_compile_definitions(${lib}_qt PUBLIC QT_NO_KEYWORDS)
  endif()
endfunction()

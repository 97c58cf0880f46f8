# vizuvod_add_library(NAME [QT] [QRC file] SOURCES source... LINKS lib...):
# a static library of the project, its folder on the include path of all who
# link it. QT makes it with qt_add_library and links Qt Widgets; QRC compiles
# those resources into it.
function(vizuvod_add_library name)
  cmake_parse_arguments(ARG "QT" "QRC" "SOURCES;LINKS" ${ARGN})
  if(ARG_QT)
    set(resources)
    if(ARG_QRC)
      qt_add_resources(resources ${ARG_QRC})
    endif()
    qt_add_library(${name} STATIC ${ARG_SOURCES} ${resources})
    target_link_libraries(${name} PUBLIC Qt6::Widgets)
  else()
    add_library(${name} STATIC ${ARG_SOURCES})
  endif()
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LINKS})
endfunction()

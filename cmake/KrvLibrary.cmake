# krv_folder_library(NAME [PLAIN] DEPS ... [OPTIONS ...])
# The one way a src/ folder becomes its library: every .cpp of the folder,
# with the src/ root on the include path. New files are picked up at the next
# build. A folder without sources yet gives an interface library, so that the
# targets above it link all the same. PLAIN: no Qt meta-object compiler (the
# analysis kernel is plain C++). OPTIONS: private compile options.
function(krv_folder_library name)
  cmake_parse_arguments(L "PLAIN" "" "DEPS;OPTIONS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${L_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  if(NOT L_PLAIN)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
  endif()
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${L_DEPS})
  target_compile_options(${name} PRIVATE ${L_OPTIONS})
endfunction()

# krv_add_subdirectories(FOLDER ...): each folder must exist with its
# CMakeLists.txt; a missing one stops the configuration.
function(krv_add_subdirectories)
  foreach(folder IN LISTS ARGN)
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/CMakeLists.txt)
      message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}/${folder}/CMakeLists.txt is missing")
    endif()
    add_subdirectory(${folder})
  endforeach()
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/stage_headers.cmake)
corvane_stage_headers(nlohmann)
if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR}/mingw-staged-include)
endif()
set(nlohmann_json_FOUND TRUE)

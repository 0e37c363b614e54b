add_library(zavo_transfer_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Texts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextSearch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BoxText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WorkList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EntryForm.cpp
)
target_include_directories(zavo_transfer_core PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zavo_transfer_core PUBLIC zavo_net)
# Plain C++: no Qt code to scan.
set_target_properties(zavo_transfer_core PROPERTIES AUTOMOC OFF)

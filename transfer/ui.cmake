# zavo_transfer_ui: the transfer dialog and the Qt glue the windows share (Shift-JIS text at
# the widget boundary, message boxes).
if(ZAVO_BUILD_UI)
  add_library(zavo_transfer_ui STATIC
    ${CMAKE_CURRENT_LIST_DIR}/FrmGet.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FrmGet.h
    ${CMAKE_CURRENT_LIST_DIR}/MessageBox.cpp
    ${CMAKE_CURRENT_LIST_DIR}/QtText.cpp
  )
  target_include_directories(zavo_transfer_ui PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(zavo_transfer_ui PUBLIC Qt6::Widgets zavo_transfer)
endif()

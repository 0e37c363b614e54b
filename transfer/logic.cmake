# zavo_transfer: the fetch loop, the transfer frame, the capture and the restore. Standard
# library only, so the end-to-end tests run without a display.
add_library(zavo_transfer STATIC
  ${CMAKE_CURRENT_LIST_DIR}/TransferContext.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PageScan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Capture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Restore.cpp
)
target_include_directories(zavo_transfer PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zavo_transfer PUBLIC zavo_transfer_core zavo_http zavo_net)

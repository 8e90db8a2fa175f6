krv_add_test(test_folderpicker QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_folderpicker.cpp ${CMAKE_CURRENT_LIST_DIR}/test_folderchecks.cpp
  LIBS krv_folders)
# Runs in a mount namespace of its own with a read-only file system mounted.
krv_add_test(test_folderreadonly QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_folderreadonly.cpp
  LIBS krv_folders)

# The uninstaller's window: the skin toolkit's form with the uninstaller's
# texts; its resources are resources/uninstall_window.rc.
add_library(tovarin_uninstall_window STATIC
  ${CMAKE_CURRENT_LIST_DIR}/uninstall_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/uninstall_form.cpp)
target_link_libraries(tovarin_uninstall_window PUBLIC tovarin_skin PRIVATE gdi32)
# windres reruns when the layout or an icon changes.
set(TOVARIN_UNINSTALL_WINDOW_FILES ${CMAKE_SOURCE_DIR}/resources/uninstall_window.rc
    ${CMAKE_SOURCE_DIR}/resources/layouts/uninstall_window.layout ${CMAKE_SOURCE_DIR}/resources/pictures/exclamatory.bmp
    ${CMAKE_SOURCE_DIR}/resources/pictures/error.bmp CACHE INTERNAL "")

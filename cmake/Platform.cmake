# The platform layer: common window-layer code plus the back end chosen by the build.
file(GLOB PLATFORM_COMMON CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/*.cpp)
file(GLOB PLATFORM_BACKEND CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/${BACKEND}/*.cpp)
# The entry point goes into the program itself: the C runtime looks for it after the libraries.
list(FILTER PLATFORM_BACKEND EXCLUDE REGEX "/Entry\\.cpp$")
add_library(platform STATIC ${PLATFORM_COMMON} ${PLATFORM_BACKEND})
target_include_directories(platform PUBLIC ${CMAKE_SOURCE_DIR})
if(BACKEND STREQUAL "win32")
  # COMCTL32 and WINSPOOL.DRV are not known DLLs: loaded at run time from the system directory.
  target_link_libraries(platform PUBLIC advapi32 user32 gdi32 kernel32)
  target_compile_definitions(platform PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
else()
  find_package(Threads REQUIRED)
  target_link_libraries(platform PUBLIC Threads::Threads)
endif()

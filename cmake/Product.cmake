# The installer's logic (every subsystem) and, on Windows, the program itself.
file(GLOB LOGIC_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/app/*.cpp ${CMAKE_SOURCE_DIR}/catalog/*.cpp
  ${CMAKE_SOURCE_DIR}/install/*.cpp ${CMAKE_SOURCE_DIR}/ports/*.cpp)
list(FILTER LOGIC_SOURCES EXCLUDE REGEX "/app/Main\\.cpp$")
add_library(installer_logic STATIC ${LOGIC_SOURCES})
target_link_libraries(installer_logic PUBLIC platform)

if(BACKEND STREQUAL "win32")
  set(CMAKE_RC_FLAGS "-c 65001 -I${CMAKE_SOURCE_DIR} -I${CMAKE_SOURCE_DIR}/res")
  add_executable(DriverInstaller WIN32 app/Main.cpp platform/win32/Entry.cpp res/app.rc)
  target_link_libraries(DriverInstaller PRIVATE installer_logic)
  target_link_options(DriverInstaller PRIVATE -static -static-libgcc -static-libstdc++)
endif()

# The Windows build: the plain libraries, the command-line programs, the
# link over DDE, and their tests under Wine (scripts/build-windows,
# scripts/with-wine).
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)

# The plain libraries, as on Linux; platform/ picks its *_windows.cpp and
# update/ its zlib and WinHTTP forms.
add_subdirectory(platform)
add_subdirectory(dict)
add_subdirectory(settings)
add_subdirectory(copy)
add_subdirectory(update)
add_subdirectory(lookup)
add_subdirectory(window)
add_subdirectory(platform/win)
add_subdirectory(tools)

include(CTest)
if(BUILD_TESTING)
  # GoogleTest from Debian's sources, built for MinGW with the tests.
  set(KOVANT_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${KOVANT_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_subdirectory(tests/win)
  add_subdirectory(tests/unit-win)
endif()

# kovant.exe: the Win32 windows over the window models.
add_subdirectory(winui)

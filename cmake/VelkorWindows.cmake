# What the Windows build needs beyond the layers: Unicode Win32 calls, a
# Windows version with the wide file and drive calls the file-system layer
# uses, and GoogleTest built for the target from Debian's sources.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)

# CLI11 and nlohmann-json are header-only: their Debian headers serve the
# target as they are. Only their own folders are put on the include path, so
# that no Linux system header can stand in for one of the target's.
set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${host_headers})
foreach(folder CLI nlohmann)
  file(CREATE_LINK /usr/include/${folder} ${host_headers}/${folder} SYMBOLIC)
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 INTERFACE ${host_headers})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json INTERFACE ${host_headers})
set(CLI11_FOUND TRUE)
set(nlohmann_json_FOUND TRUE)

# The tests run under Wine in the build folder's own prefix, made by
# scripts/wine_session.sh (./test --windows), whoever starts them. (Wine's
# messages are silenced there with WINEDEBUG=-all, not here: a test may ask
# for a trace in its own environment.)
# Their test cases are listed when ctest starts, not after each link: the
# build itself never starts Wine.
if(VELKOR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix ${VELKOR_WINE})
endif()
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

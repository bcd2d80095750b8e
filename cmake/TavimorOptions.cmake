# SPDX-License-Identifier: GPL-3.0-or-later
# One place for build policy; every target links tavimor_options.
add_library(tavimor_options INTERFACE)
target_compile_features(tavimor_options INTERFACE cxx_std_20)
target_compile_options(tavimor_options INTERFACE -Wall -Wextra -Wpedantic)
if(TAVIMOR_WERROR)
  target_compile_options(tavimor_options INTERFACE -Werror)
endif()
target_compile_definitions(tavimor_options INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_USE_QSTRINGBUILDER
  QT_DISABLE_DEPRECATED_BEFORE=0x060400)
# Release builds carry the hardening Debian builds its packages with (dpkg-buildflags), so a package
# made from any Release build passes hardening-check; Debug, sanitizer and fuzz builds keep their own.
if(CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$" AND NOT TAVIMOR_BUILD_FUZZ
   AND NOT TAVIMOR_SANITIZE)
  include(CheckCXXCompilerFlag)
  include(CheckPIESupported)
  check_pie_supported()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  target_compile_options(tavimor_options INTERFACE -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2
    -fstack-protector-strong -Wformat -Werror=format-security)
  # Both depend on the compiler and the architecture (-fcf-protection is x86 only).
  foreach(flag -fstack-clash-protection -fcf-protection)
    string(MAKE_C_IDENTIFIER "TAVIMOR_HAS${flag}" found)
    check_cxx_compiler_flag(${flag} ${found})
    if(${found})
      target_compile_options(tavimor_options INTERFACE ${flag})
    endif()
  endforeach()
  target_link_options(tavimor_options INTERFACE LINKER:-z,relro LINKER:-z,now)
endif()
if(TAVIMOR_SANITIZE)
  target_compile_options(tavimor_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
  target_link_options(tavimor_options INTERFACE -fsanitize=address,undefined)
endif()
if(TAVIMOR_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "The fuzz targets need clang (CXX=clang++)")
  endif()
  # Undefined behaviour stops the run like a crash, so the fuzzer saves what caused it.
  target_compile_options(tavimor_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
    -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g)
  target_link_options(tavimor_options INTERFACE -fsanitize=address,undefined)
endif()

# cmake --build build --target format
find_program(CLANG_FORMAT clang-format)
if(CLANG_FORMAT)
  file(GLOB_RECURSE TAVIMOR_FORMAT_SOURCES CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/src/*.cpp ${CMAKE_SOURCE_DIR}/src/*.h
    ${CMAKE_SOURCE_DIR}/tests/*.cpp ${CMAKE_SOURCE_DIR}/tests/*.h
    ${CMAKE_SOURCE_DIR}/bench/*.cpp ${CMAKE_SOURCE_DIR}/fuzz/*.cpp ${CMAKE_SOURCE_DIR}/fuzz/*.h)
  add_custom_target(format COMMAND ${CLANG_FORMAT} -i ${TAVIMOR_FORMAT_SOURCES} COMMENT "clang-format")
endif()

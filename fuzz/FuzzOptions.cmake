# Fuzzing build switch, included before the project's compile settings: QEV_FUZZ=ON (clang
# only) instruments every target for libFuzzer's coverage feedback and turns on ASan+UBSan.
option(QEV_FUZZ "Build the fuzz targets with libFuzzer (clang), ASan and UBSan" OFF)
if(QEV_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "QEV_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  set(QEV_SANITIZE ON CACHE BOOL "" FORCE)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

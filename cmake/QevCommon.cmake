# Compiler settings shared by every target of the project.
#
# -ffp-contract=off keeps the imaging arithmetic bit-identical across CPUs: a fused
# multiply-add would change results that are truncated to integers.
add_compile_options(-ffp-contract=off)

set(QEV_WARNINGS -Wall -Wextra)
if(QEV_WERROR)
  list(APPEND QEV_WARNINGS -Werror)
endif()

if(QEV_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(QEV_SANITIZE_ASAN=1)
endif()
if(QEV_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
  add_compile_definitions(QEV_SANITIZE_TSAN=1)
endif()

find_package(Threads REQUIRED)

# qev_target_defaults(target): warnings and include root for one project target.
function(qev_target_defaults target)
  target_compile_options(${target} PRIVATE ${QEV_WARNINGS})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# qev_add_library(name [DEPS lib...]): a static library from every .cpp of the
# current directory, so adding a translation unit needs no CMake edit.
function(qev_add_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${srcs})
  qev_target_defaults(${name})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

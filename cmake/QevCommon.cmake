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
# Executables and the test and fuzz support at the top of the house see the whole tree.
function(qev_target_defaults target)
  target_compile_options(${target} PRIVATE ${QEV_WARNINGS})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()

# A library sees only its own folder, through an include root in the build tree that holds a
# link to it, and the folders of the libraries it links. An include that runs back up the
# layers (docs/architecture.md) therefore fails to compile.
function(qev_include_root target scope)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(root ${PROJECT_BINARY_DIR}/include-roots/${target})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} ${scope} ${root})
endfunction()

function(qev_library_defaults target)
  target_compile_options(${target} PRIVATE ${QEV_WARNINGS})
  qev_include_root(${target} PUBLIC)
endfunction()

function(qev_add_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${srcs})
  qev_library_defaults(${name})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

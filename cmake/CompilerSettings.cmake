# Warnings for every target of ours, the hardening (Hardening.cmake), and the sanitizer build chosen
# with QUORREL_SANITIZE.
add_compile_options(-Wall -Wextra)

if(QUORREL_SANITIZE)
  set(QUORREL_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_compile_options(${QUORREL_SANITIZER_FLAGS})
  add_link_options(${QUORREL_SANITIZER_FLAGS})
endif()

include(${CMAKE_CURRENT_LIST_DIR}/Hardening.cmake)

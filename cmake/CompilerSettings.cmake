# Warnings for every target of ours, the hardening (Hardening.cmake), and the sanitizer builds:
# AddressSanitizer with UndefinedBehaviorSanitizer for everything (QUORREL_SANITIZE), or
# ThreadSanitizer for the library and its threads test alone (QUORREL_THREAD_SANITIZE).
add_compile_options(-Wall -Wextra)

if(QUORREL_SANITIZE AND QUORREL_THREAD_SANITIZE)
  message(FATAL_ERROR "QUORREL_SANITIZE and QUORREL_THREAD_SANITIZE are separate builds: choose one")
endif()
if(QUORREL_SANITIZE)
  set(QUORREL_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
elseif(QUORREL_THREAD_SANITIZE)
  set(QUORREL_SANITIZER_FLAGS -fsanitize=thread)
endif()
if(QUORREL_SANITIZER_FLAGS)
  add_compile_options(${QUORREL_SANITIZER_FLAGS})
  add_link_options(${QUORREL_SANITIZER_FLAGS})
endif()

include(${CMAKE_CURRENT_LIST_DIR}/Hardening.cmake)

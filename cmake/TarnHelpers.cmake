# Build helpers shared by every target of the project.

# Our own code builds with every warning as an error.
function(tarn_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# Native test builds run under AddressSanitizer and UndefinedBehaviorSanitizer.
set(TARN_SANITIZE_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)

function(tarn_sanitize target)
  if(NOT WIN32)
    target_compile_options(${target} PRIVATE ${TARN_SANITIZE_FLAGS})
    target_link_options(${target} PRIVATE ${TARN_SANITIZE_FLAGS})
  endif()
endfunction()

# Windows binaries carry their C and C++ runtime, so they need no MinGW DLLs,
# and use the Unicode entry points throughout.
function(tarn_windows_binary target)
  target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                                _WIN32_WINNT=0x0601 WINVER=0x0601)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
endfunction()

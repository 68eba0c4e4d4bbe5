# Warnings on, and treated as errors, in our own code.
function(tintara_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion -Werror)
endfunction()

# Compiler settings shared by every target of the kit.
option(KIT_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

add_compile_options(-Wall -Wextra -Werror)
if(KIT_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  # Old Windows loads only files marked for subsystem 4.0; the C++ runtime is
  # linked in so that the files need nothing but system DLLs.
  add_compile_options(-fno-exceptions -fno-rtti -ffunction-sections -fdata-sections)
  add_link_options(-static -static-libgcc -static-libstdc++ -s -Wl,--gc-sections
                   -Wl,--major-subsystem-version,4,--minor-subsystem-version,0
                   -Wl,--major-os-version,4,--minor-os-version,0)
  add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0400 WINVER=0x0400)
endif()

set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "Python for the build scripts")

# kit_cp932_texts(<target> <input.txt> <namespace>)
# Turns a UTF-8 text table into a header of code page 932 byte strings, so the
# source stays readable and the bytes are produced once, at build time.
# Input lines: "name<TAB>text", the text written with C escapes (\n, \\, \").
function(kit_cp932_texts target input ns)
  get_filename_component(base ${input} NAME_WE)
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/generated)
  set(out ${out_dir}/${base}_cp932.h)
  file(MAKE_DIRECTORY ${out_dir})
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/cmake/cp932_texts.py
            ${CMAKE_CURRENT_SOURCE_DIR}/${input} ${out} ${ns}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${input} ${CMAKE_SOURCE_DIR}/cmake/cp932_texts.py
    COMMENT "Code page 932 texts from ${input}")
  target_sources(${target} PRIVATE ${out})
  target_include_directories(${target} PUBLIC ${out_dir})
endfunction()

# kit_windows_program(<target>): settings every console program of the kit
# takes on Windows.
function(kit_windows_program target)
  if(WIN32)
    set_target_properties(${target} PROPERTIES SUFFIX ".exe")
  endif()
endfunction()

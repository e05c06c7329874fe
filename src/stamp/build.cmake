# Builds the stamp's four boot programs from src/stamp/boot (nasm for the BIOS
# stages, freestanding C with the mingw cross compilers for the UEFI applications),
# checks their sizes and embeds them into morvane_core. Also builds stamp_sample,
# a developer tool that writes a sample stamp into an image file.
find_program(MORVANE_NASM nasm REQUIRED)
find_program(MORVANE_EFI_CC_X64 x86_64-w64-mingw32-gcc REQUIRED)
find_program(MORVANE_EFI_CC_IA32 i686-w64-mingw32-gcc REQUIRED)

set(stamp_boot_src ${CMAKE_CURRENT_SOURCE_DIR}/stamp/boot)
set(stamp_boot_out ${CMAKE_BINARY_DIR}/stamp_boot)
file(MAKE_DIRECTORY ${stamp_boot_out})

foreach(stage stage1 stage2)
  add_custom_command(
    OUTPUT ${stamp_boot_out}/${stage}.bin
    COMMAND ${MORVANE_NASM} -f bin -o ${stamp_boot_out}/${stage}.bin ${stamp_boot_src}/${stage}.asm
    DEPENDS ${stamp_boot_src}/${stage}.asm
    COMMENT "Assembling the BIOS ${stage}")
endforeach()

set(stamp_efi_flags
  -Os -Wall -Wextra -Werror -ffreestanding -nostdlib -fno-stack-protector -mno-stack-arg-probe
  -fshort-wchar -fno-builtin -fno-asynchronous-unwind-tables -fno-tree-loop-distribute-patterns
  -s -Wl,--subsystem,10 -Wl,--no-insert-timestamp -Wl,--fatal-warnings -T ${stamp_boot_src}/efi.ld)
set(stamp_efi_deps ${stamp_boot_src}/efi_stamp.c ${stamp_boot_src}/efi_types.h
    ${stamp_boot_src}/efi_font.h ${stamp_boot_src}/efi_stamp_block.h ${stamp_boot_src}/efi_glyph_file.h
    ${stamp_boot_src}/efi.ld)
# The IA32 entry symbol carries the cdecl underscore; a wrong -e would silently
# start at the top of .text, which --fatal-warnings turns into a build error.
add_custom_command(
  OUTPUT ${stamp_boot_out}/bootx64.raw
  COMMAND ${MORVANE_EFI_CC_X64} ${stamp_efi_flags} -mno-red-zone -Wl,-e,efi_main
          -o ${stamp_boot_out}/bootx64.raw ${stamp_boot_src}/efi_stamp.c
  DEPENDS ${stamp_efi_deps}
  COMMENT "Compiling the x64 UEFI report application")
add_custom_command(
  OUTPUT ${stamp_boot_out}/bootia32.raw
  COMMAND ${MORVANE_EFI_CC_IA32} ${stamp_efi_flags} -Wl,-e,_efi_main
          -o ${stamp_boot_out}/bootia32.raw ${stamp_boot_src}/efi_stamp.c
  DEPENDS ${stamp_efi_deps}
  COMMENT "Compiling the IA32 UEFI report application")

set(stamp_embedded ${stamp_boot_out}/stamp_boot_images.cpp)
add_custom_command(
  OUTPUT ${stamp_embedded} ${stamp_boot_out}/BOOTX64.EFI ${stamp_boot_out}/BOOTIA32.EFI
  COMMAND ${CMAKE_COMMAND}
          -DSTAGE1=${stamp_boot_out}/stage1.bin -DSTAGE2=${stamp_boot_out}/stage2.bin
          -DEFI_X64=${stamp_boot_out}/bootx64.raw -DEFI_IA32=${stamp_boot_out}/bootia32.raw
          -DOUT_DIR=${stamp_boot_out} -DOUTPUT=${stamp_embedded}
          -P ${stamp_boot_src}/embed_boot_images.cmake
  DEPENDS ${stamp_boot_out}/stage1.bin ${stamp_boot_out}/stage2.bin
          ${stamp_boot_out}/bootx64.raw ${stamp_boot_out}/bootia32.raw
          ${stamp_boot_src}/embed_boot_images.cmake
  COMMENT "Checking and embedding the stamp boot programs")
target_sources(morvane_core PRIVATE ${stamp_embedded})

add_executable(stamp_sample ${CMAKE_CURRENT_SOURCE_DIR}/stamp/tool/stamp_sample.cpp)
target_compile_options(stamp_sample PRIVATE ${MORVANE_WARNINGS})
target_link_options(stamp_sample PRIVATE -municode)
target_link_libraries(stamp_sample PRIVATE morvane_core)

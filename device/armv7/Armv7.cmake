# The armv7 slice's toolchain. lld 14 cannot link armv7, so the old Mach-O linker of lld 13
# does, behind the steps that make up for its faults: each source is compiled to assembly
# whose non-lazy slots are rewritten as data words and whose image info is renamed
# (compile.py); the system libraries are stub dylibs made from the .tbd lists (stubs.py), as
# it reads no .tbd; and every link is checked, relocation by relocation, before it is used.
find_program(LD64_OLD ld64.lld.darwinold-13 REQUIRED)
# Debian's Python, which has python3-yaml for the .tbd lists; -B keeps the source tree clean.
find_program(ARMV7_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
set(ARMV7_PYTHON ${ARMV7_PYTHON} -B)
set(ARMV7_TOOLS ${CMAKE_CURRENT_LIST_DIR})
set(ARMV7_STUBS ${CMAKE_BINARY_DIR}/stubs)
foreach(language C CXX OBJCXX)
  set(CMAKE_${language}_COMPILER_LAUNCHER ${ARMV7_PYTHON} ${ARMV7_TOOLS}/compile.py)
endforeach()
# An object is made by the launcher's rewrites too: a change to them makes every object again,
# through a definition that carries their digest.
set(rewrites compile.py slots.py weak.py sections.py imageinfo.py)
list(TRANSFORM rewrites PREPEND ${ARMV7_TOOLS}/)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${rewrites})
set(digests)
foreach(rewrite ${rewrites})
  file(MD5 ${rewrite} digest)
  string(APPEND digests ${digest})
endforeach()
string(MD5 digest "${digests}")
add_compile_definitions(QUORVANE_ARMV7_REWRITES=${digest})

# CMake asks Darwin linkers for room to rename libraries later; the old linker knows no such
# option, and nothing renames them.
foreach(language C CXX OBJCXX)
  foreach(kind LIBRARY MODULE)
    string(REPLACE "-Wl,-headerpad_max_install_names" "" CMAKE_SHARED_${kind}_CREATE_${language}_FLAGS
                   "${CMAKE_SHARED_${kind}_CREATE_${language}_FLAGS}")
  endforeach()
endforeach()

# Every other stub links against libSystem's, as every dylib does.
set(stub_libsystem ${ARMV7_STUBS}/libSystem.dylib)
set(stub_dylibs)
foreach(tbd ${QUORVANE_TBDS})
  get_filename_component(library ${tbd} NAME_WE)
  set(stub ${ARMV7_STUBS}/${library}.dylib)
  if(library STREQUAL "libSystem")
    set(against)
  else()
    set(against ${stub_libsystem})
  endif()
  add_custom_command(OUTPUT ${stub}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${ARMV7_STUBS}
                     COMMAND ${ARMV7_PYTHON} ${ARMV7_TOOLS}/stubs.py ${CMAKE_C_COMPILER}
                             ${LD64_OLD} ${tbd} ${stub} ${against}
                     DEPENDS ${tbd} ${against} ${ARMV7_TOOLS}/stubs.py
                             ${ARMV7_TOOLS}/../tapi.py VERBATIM)
  list(APPEND stub_dylibs ${stub})
endforeach()
add_custom_target(QuorvaneArmv7Stubs DEPENDS ${stub_dylibs})

# The old linker through clang's driver and link.py, which fails the link on any warning, names
# the image info again and checks every relocation of the link before the image may be used: a
# linker version before 520 keeps the driver to -iphoneos_version_min, which it reads. No
# -dead_strip: it drops the no_dead_strip sections (the class list, the image info) with the
# rest. __text starts a page of its own, so the load commands always have room for the
# signature's, which the signer adds (the old linker takes no header padding option).
set(ARMV7_LINK_TOOLS link.py imageinfo.py relocations.py linked_image.py placement.py
                     relocation_checks.py objects.py arm.py ../emulator/image.py ../tapi.py)
list(TRANSFORM ARMV7_LINK_TOOLS PREPEND ${ARMV7_TOOLS}/)
function(quorvane_armv7_link name symbols)
  add_dependencies(${name} QuorvaneArmv7Stubs)
  # A change to the link's checks links again.
  set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${ARMV7_LINK_TOOLS})
  target_link_options(${name} PRIVATE -nostdlib --ld-path=${ARMV7_TOOLS}/link.py
                      -mlinker-version=400 "LINKER:-sdk_version,${QUORVANE_IOS_VERSION}"
                      "LINKER:${symbols}" "LINKER:-sectalign,__TEXT,__text,0x1000" ${ARGN})
endfunction()

# The tweak's folders and the port contract, reached through a tree of links of their own: the
# tweak's one include path on both targets. Beside it a target puts only its backend's folder
# (the one holding backend/), so a tweak source that names a header or a declaration of one
# backend alone fails to compile on either.
set(QUORVANE_TWEAK_FOLDERS core capture media hud ios7 libraries)

# Makes the tree at `root`; ARGN names further folders of the target's own (the device's pane).
function(quorvane_contract_tree root)
  file(MAKE_DIRECTORY ${root})
  foreach(folder port ${QUORVANE_TWEAK_FOLDERS} ${ARGN})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endforeach()
endfunction()

# Every target the tweak's folders define compiles against the tree and `backend` alone.
function(quorvane_compile_against_contract root backend)
  foreach(folder ${QUORVANE_TWEAK_FOLDERS})
    get_property(targets DIRECTORY ${PROJECT_SOURCE_DIR}/${folder} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
      set_property(TARGET ${target} PROPERTY INCLUDE_DIRECTORIES ${root} ${backend})
    endforeach()
  endforeach()
endfunction()

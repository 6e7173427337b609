# Each library's include path holds its own headers and nothing else, so a file can
# include only the headers of the targets its target links: an include without a link
# fails to compile instead of building by luck of the link order.
#
# zt_public_headers(TARGET) registers a target; zt_link_public_headers(), called once
# after every folder is added, links each registered target's headers into
# ${CMAKE_BINARY_DIR}/include/TARGET under their path in the repository
# ("song/MidiSong.h") and puts that directory on the target's include path. Which
# target a header belongs to is decided with every target of its folder known:
#   - the target that lists the header among its sources;
#   - else the target that compiles the .cpp of the same name beside it;
#   - else the folder's first registered target (its interfaces and plain types).
# scripts/check-deps holds the same rule when it checks links against includes.

function(zt_public_headers target)
  set_property(GLOBAL APPEND PROPERTY ZT_HEADER_TARGETS ${target})
  set_property(TARGET ${target} PROPERTY ZT_HEADER_FOLDER ${CMAKE_CURRENT_SOURCE_DIR})
endfunction()

# The file names (no folder) of a target's sources.
function(zt_source_names target out)
  get_target_property(sources ${target} SOURCES)
  set(names "")
  foreach(source IN LISTS sources)
    get_filename_component(name "${source}" NAME)
    list(APPEND names "${name}")
  endforeach()
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

# The registered target of FOLDER that owns HEADER (a file name in that folder).
function(zt_header_owner folder header targets out)
  get_filename_component(stem "${header}" NAME_WE)
  set(first "")
  set(by_source "")
  foreach(target IN LISTS targets)
    get_target_property(home ${target} ZT_HEADER_FOLDER)
    if(NOT home STREQUAL folder)
      continue()
    endif()
    if(first STREQUAL "")
      set(first ${target})
    endif()
    zt_source_names(${target} names)
    if("${header}" IN_LIST names)
      set(${out} ${target} PARENT_SCOPE)
      return()
    endif()
    if("${stem}.cpp" IN_LIST names AND by_source STREQUAL "")
      set(by_source ${target})
    endif()
  endforeach()
  if(NOT by_source STREQUAL "")
    set(${out} ${by_source} PARENT_SCOPE)
  else()
    set(${out} ${first} PARENT_SCOPE)
  endif()
endfunction()

function(zt_link_public_headers)
  get_property(targets GLOBAL PROPERTY ZT_HEADER_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(folder ${target} ZT_HEADER_FOLDER)
    set(root ${CMAKE_BINARY_DIR}/include/${target})
    # Start afresh, so a header moved to another target is gone from this one.
    file(REMOVE_RECURSE ${root})
    file(RELATIVE_PATH place ${PROJECT_SOURCE_DIR} ${folder})
    file(MAKE_DIRECTORY ${root}/${place})
    file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${folder} ${folder}/*.h ${folder}/*.inc)
    foreach(header IN LISTS headers)
      zt_header_owner(${folder} ${header} "${targets}" owner)
      if(owner STREQUAL target)
        file(CREATE_LINK ${folder}/${header} ${root}/${place}/${header} SYMBOLIC)
      endif()
    endforeach()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
      target_include_directories(${target} INTERFACE ${root})
    elseif(type STREQUAL "EXECUTABLE")
      target_include_directories(${target} PRIVATE ${root})
    else()
      target_include_directories(${target} PUBLIC ${root})
    endif()
  endforeach()
endfunction()

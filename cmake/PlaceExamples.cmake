# Copies the demo ROMs, playlists and skins into the player's program folder
# (ROMS/, LISTS/, Skins/). A file that already exists there is left alone:
# it may be the user's own.
#   cmake -DSOURCE=<examples> -DDEST=<program folder> -P PlaceExamples.cmake
function(place_tree from to)
  if(NOT IS_DIRECTORY ${from})
    return()
  endif()
  file(GLOB_RECURSE _files RELATIVE ${from} ${from}/*)
  foreach(f ${_files})
    if(f MATCHES "(^|/)src/" OR f MATCHES "README")
      continue()
    endif()
    if(NOT EXISTS ${to}/${f})
      get_filename_component(_dir ${to}/${f} DIRECTORY)
      file(MAKE_DIRECTORY ${_dir})
      file(COPY_FILE ${from}/${f} ${to}/${f})
    endif()
  endforeach()
endfunction()

place_tree(${SOURCE}/roms ${DEST}/ROMS)
place_tree(${SOURCE}/lists ${DEST}/LISTS)
place_tree(${SOURCE}/skins ${DEST}/Skins)

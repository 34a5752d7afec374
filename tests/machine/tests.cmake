# The machine tests also drive kelvara-render as a separate program.
if(TARGET test_machine AND TARGET kelvara-render)
  add_dependencies(test_machine kelvara-render)
  target_compile_definitions(test_machine PRIVATE KELVARA_RENDER_PATH="$<TARGET_FILE:kelvara-render>")
endif()

# The data-table generator refuses malformed tables with file:line messages.
add_test(NAME DatagenRejectsBadData
         COMMAND ${CMAKE_COMMAND} -DDATAGEN=$<TARGET_FILE:kelvara-datagen>
                 -DWORK=${CMAKE_CURRENT_BINARY_DIR}/datagen-cases
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/machine/DatagenRejectsBadData.cmake)
# The committed demo ROM images are exactly what their source builds.
add_test(NAME DemoRomsBuild
         COMMAND ${CMAKE_COMMAND} -DASM=$<TARGET_FILE:kelvara-asm>
                 -DROMS=${PROJECT_SOURCE_DIR}/examples/roms
                 -DWORK=${CMAKE_CURRENT_BINARY_DIR}/demoroms-build
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/machine/DemoRomsBuild.cmake)

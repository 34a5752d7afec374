# The machine tests also drive kelvara-render as a separate program.
if(TARGET test_machine AND TARGET kelvara-render)
  add_dependencies(test_machine kelvara-render)
  target_compile_definitions(test_machine PRIVATE KELVARA_RENDER_PATH="$<TARGET_FILE:kelvara-render>")
endif()

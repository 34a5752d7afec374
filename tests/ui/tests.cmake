# The artwork test redraws the built-in pictures and example skins with the
# generator and compares them with the committed files.
if(TARGET kelvara-artgen)
  add_dependencies(test_ui kelvara-artgen)
  target_compile_definitions(test_ui PRIVATE KELVARA_ARTGEN="$<TARGET_FILE:kelvara-artgen>")
endif()

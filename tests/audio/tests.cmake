# The offline renderer's tests also drive kelvara-render as a program and
# check its playlist reader directly.
if(TARGET test_audio AND TARGET kelvara-render)
  add_dependencies(test_audio kelvara-render)
  target_compile_definitions(test_audio PRIVATE KELVARA_RENDER_PATH="$<TARGET_FILE:kelvara-render>")
  target_sources(test_audio PRIVATE ${PROJECT_SOURCE_DIR}/tools/kelvara-render/ListFile.cpp
                                    ${PROJECT_SOURCE_DIR}/tools/kelvara-render/CodeArgs.cpp)
  target_link_libraries(test_audio PRIVATE kelvara_player)
  target_include_directories(test_audio PRIVATE ${PROJECT_SOURCE_DIR}/tools/kelvara-render)
endif()

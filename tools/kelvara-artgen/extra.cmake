# kelvara-artgen draws the player's built-in artwork and the example skins
# with Qt's raster painter (no window system needed) and uses the player's
# digit blending for its mock-up of the whole window.
find_package(Qt6 REQUIRED COMPONENTS Gui)
target_link_libraries(kelvara-artgen PRIVATE kelvara_player Qt6::Gui)
# Its files all parse Qt's painting headers: compile them together.
set_target_properties(kelvara-artgen PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 16)

# The player's window-free logic.
if(TARGET test_player)
  target_link_libraries(test_player PRIVATE kelvara_player)
endif()

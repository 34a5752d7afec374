# kelvara-render reads playlists with the player's reader.
target_link_libraries(kelvara-render PRIVATE kelvara_player)

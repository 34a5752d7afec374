# The output device plays through SDL2 audio.
if(NOT SDL2_FOUND)
  message(FATAL_ERROR "SDL2 (libsdl2-dev) is required for the audio output device")
endif()
target_link_libraries(kelvara_audio PUBLIC PkgConfig::SDL2)

# kelvara-asm is two parts: the assembler library kelvara_asm (every file
# here but main.cpp; the tests and benchmarks build their Z80 programs with
# it too) and the command around it.
file(GLOB _asm_src CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
list(REMOVE_ITEM _asm_src ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
add_library(kelvara_asm STATIC ${_asm_src})
target_include_directories(kelvara_asm PUBLIC ${PROJECT_SOURCE_DIR}/tools ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(kelvara_asm PUBLIC kelvara_machine)

set_property(TARGET kelvara-asm PROPERTY SOURCES ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(kelvara-asm PRIVATE kelvara_asm)

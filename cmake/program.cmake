# Tolvix.exe: the subsystem folders of the program and its resource script.
set(TOLVIX_PROGRAM_DIRS app scan settings store view controls)
set(TOLVIX_PROGRAM_SOURCES)
foreach(dir IN LISTS TOLVIX_PROGRAM_DIRS)
  file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  list(APPEND TOLVIX_PROGRAM_SOURCES ${found})
endforeach()

# The resource compiler does not report the files the script includes.
file(GLOB TOLVIX_ART CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/art/*)
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/Tolvix.rc PROPERTIES
  OBJECT_DEPENDS "${TOLVIX_ART};${CMAKE_SOURCE_DIR}/res/resource.h;${CMAKE_SOURCE_DIR}/res/Tolvix.manifest")

add_executable(Tolvix WIN32 ${TOLVIX_PROGRAM_SOURCES} ${CMAKE_SOURCE_DIR}/res/Tolvix.rc)
target_include_directories(Tolvix PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/res)
target_compile_options(Tolvix PRIVATE ${TOLVIX_WARNINGS})
target_link_libraries(Tolvix PRIVATE framework codec xrtwif comctl32 comdlg32 gdi32 user32 advapi32 winspool)
set_target_properties(Tolvix PROPERTIES OUTPUT_NAME Tolvix)

# The help file beside the program, compiled from its text source.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(TOLVIX_HELP ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/KEVRAN.HLP)
add_custom_command(OUTPUT ${TOLVIX_HELP}
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tools/make-help.py ${CMAKE_SOURCE_DIR}/res/help/KEVRAN.txt ${TOLVIX_HELP}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/make-help.py ${CMAKE_SOURCE_DIR}/res/help/KEVRAN.txt
  COMMENT "Compiling the help file KEVRAN.HLP")
add_custom_target(helpfile ALL DEPENDS ${TOLVIX_HELP})
add_dependencies(Tolvix helpfile)

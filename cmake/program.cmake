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
# The common dialogs (and the shell and spooler DLLs they pull in) load at the
# first Save or Print dialog, not before the window shows: a delay-import library.
set(TOLVIX_COMDLG_FUNCTIONS GetOpenFileNameA GetSaveFileNameA PrintDlgA)
set(TOLVIX_COMDLG_DEF ${CMAKE_BINARY_DIR}/comdlg32-delay.def)
set(TOLVIX_COMDLG_LIB ${CMAKE_BINARY_DIR}/libcomdlg32-delay.a)
set(def "LIBRARY comdlg32.dll\nEXPORTS\n")
foreach(fn IN LISTS TOLVIX_COMDLG_FUNCTIONS)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    string(APPEND def "${fn}@4\n")   # stdcall, one pointer argument
  else()
    string(APPEND def "${fn}\n")
  endif()
endforeach()
file(WRITE ${TOLVIX_COMDLG_DEF} "${def}")
if(NOT CMAKE_DLLTOOL)
  find_program(CMAKE_DLLTOOL ${TOOLCHAIN_PREFIX}-dlltool REQUIRED)
endif()
add_custom_command(OUTPUT ${TOLVIX_COMDLG_LIB}
  COMMAND ${CMAKE_DLLTOOL} -k -d ${TOLVIX_COMDLG_DEF} -y ${TOLVIX_COMDLG_LIB}
  DEPENDS ${TOLVIX_COMDLG_DEF})
add_custom_target(comdlg32_delay DEPENDS ${TOLVIX_COMDLG_LIB})
add_dependencies(Tolvix comdlg32_delay)
# Listed before the framework's own comdlg32, so its calls bind to the delayed imports.
target_link_libraries(Tolvix PRIVATE framework codec xrtwif ${TOLVIX_COMDLG_LIB} comctl32 gdi32 user32 advapi32)
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

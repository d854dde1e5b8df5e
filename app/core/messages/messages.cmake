# The message table: gen_message_table.py checks the three message catalogues and writes the C++
# table into the build tree; the build fails, naming file, line and id, when a catalogue has a
# fault or is missing. Included from app/core/CMakeLists.txt after brimlet_core is declared.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(_messages_dir ${CMAKE_CURRENT_LIST_DIR})
set(_message_table_cpp ${CMAKE_CURRENT_BINARY_DIR}/message_table.cpp)

# A catalogue that is not there is left out of the dependencies, so that the build reaches the
# generator, which reports it; the glob makes CMake configure again once the file appears.
file(GLOB _present_catalogues CONFIGURE_DEPENDS ${_messages_dir}/*.msg)
set(_message_table_depends ${_messages_dir}/gen_message_table.py)
foreach(_catalogue en.msg zh_TW.msg zh_CN.msg)
    if(${_messages_dir}/${_catalogue} IN_LIST _present_catalogues)
        list(APPEND _message_table_depends ${_messages_dir}/${_catalogue})
    else()
        message(WARNING "Message catalogue ${_messages_dir}/${_catalogue} is missing: "
                        "the message table cannot be built until it exists.")
    endif()
endforeach()

add_custom_command(
    OUTPUT ${_message_table_cpp}
    COMMAND ${Python3_EXECUTABLE} ${_messages_dir}/gen_message_table.py
            --en ${_messages_dir}/en.msg
            --zh-tw ${_messages_dir}/zh_TW.msg
            --zh-cn ${_messages_dir}/zh_CN.msg
            --output ${_message_table_cpp}
    DEPENDS ${_message_table_depends}
    COMMENT "Checking the message catalogues and generating the message table"
    VERBATIM)

set_source_files_properties(${_message_table_cpp} PROPERTIES INCLUDE_DIRECTORIES ${_messages_dir})
target_sources(brimlet_core PRIVATE ${_message_table_cpp})

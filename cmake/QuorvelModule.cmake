# quorvel_add_module(NAME
#   SOURCES file...
#   EXPORTS symbol...                 entry points, in order
#   RESOURCES TYPE ID FILE [TYPE ID FILE ...])
#
# Builds a component module: a shared object without the `lib` prefix whose
# SONAME is its file name (so loading it again by bare file name finds the copy
# already in the process), exporting exactly EXPORTS and its resource table,
# with its DllMain called at load and unload.
function(quorvel_add_module name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "SOURCES;EXPORTS;RESOURCES")
  set(file_name "${name}.so")

  set(resource_cpp "${CMAKE_CURRENT_BINARY_DIR}/${name}_resources.cpp")
  set(blobs "")
  set(entries "")
  set(resource_files "")
  list(LENGTH ARG_RESOURCES count)
  set(index 0)
  while(index LESS count)
    list(GET ARG_RESOURCES ${index} type)
    math(EXPR at "${index} + 1")
    list(GET ARG_RESOURCES ${at} id)
    math(EXPR at "${index} + 2")
    list(GET ARG_RESOURCES ${at} file)
    get_filename_component(file "${file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    list(APPEND resource_files "${file}")
    set(symbol "qv_resource_${index}")
    string(APPEND blobs
      "asm(\".section .rodata.qv_resources,\\\"a\\\"\\n.balign 16\\n.hidden ${symbol}\\n"
      "${symbol}:\\n.incbin \\\"${file}\\\"\\n.hidden ${symbol}_end\\n${symbol}_end:\\n.byte 0\\n.previous\");\n"
      "extern \"C\" const char ${symbol}[];\nextern \"C\" const char ${symbol}_end[];\n")
    string(APPEND entries
      "    {\"${type}\", ${id}, static_cast<DWORD>(${symbol}_end - ${symbol}), ${symbol}},\n")
    math(EXPR index "${index} + 3")
  endwhile()
  math(EXPR resource_count "${count} / 3")
  if(resource_count EQUAL 0)
    set(entries "    {nullptr, 0, 0, nullptr},\n")
  endif()
  file(GENERATE OUTPUT "${resource_cpp}" CONTENT
"// Generated: the resources of ${file_name}.
#include \"quorvel/platform/module.h\"

${blobs}
namespace {
const QV_RESOURCE_ENTRY g_entries[] = {
${entries}};
}  // namespace

extern \"C\" QV_EXPORT const QV_RESOURCE_TABLE QvResourceTable = {
    QV_RESOURCE_TABLE_VERSION, ${resource_count}, g_entries};
")
  set_source_files_properties("${resource_cpp}" PROPERTIES OBJECT_DEPENDS "${resource_files}")

  set(version_script "${CMAKE_CURRENT_BINARY_DIR}/${name}.map")
  list(JOIN ARG_EXPORTS ";\n    " exported)
  file(GENERATE OUTPUT "${version_script}" CONTENT
"{
  global:
    ${exported};
    QvResourceTable;
  local: *;
};
")

  add_library(${name} MODULE ${ARG_SOURCES} "${resource_cpp}")
  target_link_libraries(${name} PRIVATE quorvel_module_entry quorvel_platform)
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    NO_SONAME OFF
    LINK_DEPENDS "${version_script}")
  target_link_options(${name} PRIVATE
    "-Wl,--version-script=${version_script}" "-Wl,-soname,${file_name}")
  # Sanitizer runtimes come with the program, not the module, under clang.
  if(NOT QV_SANITIZE)
    target_link_options(${name} PRIVATE "-Wl,--no-undefined")
  endif()
endfunction()

# quorvel_compile_idl(IDL file HEADER path TLB path)
#
# Compiles an interface definition into a C++ header and a type library in one
# step; a changed .idl rebuilds both. List both outputs among a target's
# sources so that the target waits for them.
function(quorvel_compile_idl)
  cmake_parse_arguments(PARSE_ARGV 0 ARG "" "IDL;HEADER;TLB" "")
  get_filename_component(idl "${ARG_IDL}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  get_filename_component(header_dir "${ARG_HEADER}" DIRECTORY)
  add_custom_command(
    OUTPUT "${ARG_HEADER}" "${ARG_TLB}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${header_dir}"
    COMMAND quorvel-idl "${idl}" --header "${ARG_HEADER}" --tlb "${ARG_TLB}"
    DEPENDS "${idl}" quorvel-idl
    COMMENT "Compiling ${ARG_IDL}"
    VERBATIM)
endfunction()

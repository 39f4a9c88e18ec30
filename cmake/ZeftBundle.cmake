# Text as XML character data: the Info.plist must stay well formed whatever
# a name or value holds.
function(_zeft_xml_escape out text)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# zeft_add_app_bundle(<target> NAME <BundleName> [IDENTIFIER <id>] [VERSION <v>]
#                     [RESOURCES <files...>] [OUTPUT_DIRECTORY <dir>]
#                     [INFO_PLIST <template>] [EXTRA_KEYS <key> <value>...])
#
# Lays out an application bundle in the build tree for an executable target:
#   <dir>/<BundleName>.app/Contents/Info.plist
#   <dir>/<BundleName>.app/Contents/MacOS/<executable>
#   <dir>/<BundleName>.app/Contents/Resources/<resources>
# The toolbox finds its main bundle as the nearest ancestor "*.app" of the
# running executable that holds Contents/Info.plist.
function(zeft_add_app_bundle target)
  cmake_parse_arguments(ARG "" "NAME;IDENTIFIER;VERSION;OUTPUT_DIRECTORY;INFO_PLIST" "RESOURCES;EXTRA_KEYS" ${ARGN})
  if(NOT ARG_NAME)
    set(ARG_NAME ${target})
  endif()
  if(NOT ARG_IDENTIFIER)
    set(ARG_IDENTIFIER "com.zeft.${ARG_NAME}")
  endif()
  if(NOT ARG_VERSION)
    set(ARG_VERSION "${PROJECT_VERSION}")
  endif()
  if(NOT ARG_OUTPUT_DIRECTORY)
    set(ARG_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  if(NOT ARG_INFO_PLIST)
    set(ARG_INFO_PLIST ${PROJECT_SOURCE_DIR}/cmake/Info.plist.in)
  endif()

  set(contents ${ARG_OUTPUT_DIRECTORY}/${ARG_NAME}.app/Contents)
  _zeft_xml_escape(BUNDLE_NAME "${ARG_NAME}")
  set(BUNDLE_EXECUTABLE $<TARGET_FILE_NAME:${target}>)
  _zeft_xml_escape(BUNDLE_IDENTIFIER "${ARG_IDENTIFIER}")
  _zeft_xml_escape(BUNDLE_VERSION "${ARG_VERSION}")
  # Extra <key>/<value> lines, given as pairs: KEY VALUE KEY VALUE ...
  set(BUNDLE_EXTRA_KEYS "")
  list(LENGTH ARG_EXTRA_KEYS extra_count)
  math(EXPR extra_odd "${extra_count} % 2")
  if(extra_odd)
    message(FATAL_ERROR "zeft_add_app_bundle(${target}): EXTRA_KEYS needs KEY VALUE pairs")
  endif()
  if(extra_count GREATER 0)
    math(EXPR last "${extra_count} - 1")
    foreach(i RANGE 0 ${last} 2)
      math(EXPR j "${i} + 1")
      list(GET ARG_EXTRA_KEYS ${i} key)
      list(GET ARG_EXTRA_KEYS ${j} value)
      _zeft_xml_escape(key "${key}")
      _zeft_xml_escape(value "${value}")
      string(APPEND BUNDLE_EXTRA_KEYS "\t<key>${key}</key>\n\t<string>${value}</string>\n")
    endforeach()
  endif()
  configure_file(${ARG_INFO_PLIST} ${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}.Info.plist.in @ONLY)
  file(GENERATE OUTPUT ${contents}/Info.plist
       INPUT ${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}.Info.plist.in)

  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${contents}/MacOS)
  file(MAKE_DIRECTORY ${contents}/Resources)
  foreach(resource IN LISTS ARG_RESOURCES)
    get_filename_component(resource_name ${resource} NAME)
    configure_file(${resource} ${contents}/Resources/${resource_name} COPYONLY)
  endforeach()
  set_property(TARGET ${target} PROPERTY ZEFT_BUNDLE_PATH ${ARG_OUTPUT_DIRECTORY}/${ARG_NAME}.app)
endfunction()

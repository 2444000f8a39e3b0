# Writes a C++ source holding each asset file as a string constant, so the
# station page needs no file and no network at run time:
#   cmake -DOUTPUT=station_assets.cpp -DASSETS="name=path;..." -P embed_assets.cmake
set(text "// Generated from src/server/assets by embed_assets.cmake; do not edit.\n")
string(APPEND text "#include \"server/station_assets.h\"\n\nnamespace multitone::server {\n\n")
foreach(entry IN LISTS ASSETS)
  string(REGEX MATCH "^([^=]+)=(.*)$" matched "${entry}")
  set(name "${CMAKE_MATCH_1}")
  file(READ "${CMAKE_MATCH_2}" content)
  string(FIND "${content}" ")ASSET\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${CMAKE_MATCH_2} holds the raw string's delimiter")
  endif()
  string(APPEND text "const std::string_view ${name} = R\"ASSET(${content})ASSET\";\n\n")
endforeach()
string(APPEND text "}  // namespace multitone::server\n")
file(WRITE "${OUTPUT}.new" "${text}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")

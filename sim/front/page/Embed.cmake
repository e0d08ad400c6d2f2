# Writes the page's files into a C++ source as byte arrays (cmake -P): OUTPUT names the source,
# FILES lists "address|media type|file" entries; text is UTF-8.
set(arrays "")
set(entries "")
set(index 0)
foreach(entry IN LISTS FILES)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 address)
  list(GET parts 1 type)
  list(GET parts 2 file)
  set(charset "")
  if(type MATCHES "^text/")
    set(charset "; charset=utf-8")
  endif()
  file(READ "${file}" bytes HEX)
  string(LENGTH "${bytes}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${bytes}")
  string(APPEND arrays "const char kFile${index}[] = {${bytes} 0};\n")
  string(APPEND entries "      {\"${address}\", \"${type}${charset}\", {kFile${index}, ${size}}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.new" "// Written by sim/front/page/Embed.cmake from the files of sim/front/page.
#include \"sim/front/PageFiles.h\"

namespace qv::sim {
namespace {

${arrays}
}  // namespace

const std::vector<PageFile>& pageFiles() {
  static const std::vector<PageFile> files{
${entries}  };
  return files;
}

}  // namespace qv::sim
")
file(RENAME "${OUTPUT}.new" "${OUTPUT}")

# Writes OUTPUT, a C++ table of the form's resources, from the files they are
# made of. Run as: cmake -DSOURCE_DIR=... -DOUTPUT=... -P embed_resources.cmake
set(resources "129:form.htm" "131:arrow.gif" "132:banner.jpg" "133:marker.gif")
set(arrays "")
set(rows "")
foreach(entry IN LISTS resources)
  string(REPLACE ":" ";" parts "${entry}")
  list(GET parts 0 id)
  list(GET parts 1 file)
  file(READ "${SOURCE_DIR}/${file}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n    " bytes "${bytes}")
  string(APPEND arrays "const unsigned char kResource${id}[${size}] = {\n    ${bytes}\n};\n")
  string(APPEND rows "    {\"HTMLFILE\", ${id}, kResource${id}, ${size}},\n")
endforeach()
file(WRITE "${OUTPUT}.tmp" "// Generated from resources/ by cmake/embed_resources.cmake; do not edit.
#include \"embedded_resources.h\"

namespace dedo {
namespace {
${arrays}}  // namespace

const EmbeddedResource kEmbeddedResources[] = {
${rows}};
const size_t kEmbeddedResourceCount = sizeof kEmbeddedResources / sizeof kEmbeddedResources[0];

}  // namespace dedo
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")

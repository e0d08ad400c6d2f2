// The web page of quorvane-sim serve, built into the program: plain HTML, CSS and JavaScript,
// so that nothing is fetched from elsewhere and nothing is built but the program.
#pragma once

#include <string_view>
#include <vector>

namespace qv::sim {

struct PageFile {
  const char* path;  // as the page asks for it: "/", "/page.js"
  const char* type;  // its media type
  std::string_view content;
};

const std::vector<PageFile>& pageFiles();

}  // namespace qv::sim

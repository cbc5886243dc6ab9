// Placeholder until the HTTP service lands: runs one tool from the command line
// so the engine can be tried by hand.
#include <cstdio>

#include "pelloriand/tool.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: pelloriand-server TOOL INPUT\n");
    return 2;
  }
  pelloriand::ToolResult result = pelloriand::run_tool(argv[1], argv[2], nullptr);
  std::printf("%s: %s\n", result.is_ok() ? "ok" : "error", result.text().c_str());
  return result.is_ok() ? 0 : 1;
}

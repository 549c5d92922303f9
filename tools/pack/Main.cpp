// launcher-pack: packs skins onto the launcher, and inspects, checks and unpacks packages.
#include <iostream>
#include <string>
#include <vector>

#include "pack/Cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return launcher::pack::RunPacker(args, std::cout, std::cerr);
}

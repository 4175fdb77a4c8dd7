#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "kivform/Runner.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return kivform::Run(args, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "kivform: internal error: " << e.what() << "\n";
    return 3;
  }
}

// kestrovan-batch: an evolution run without a window.
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "BatchRun.h"

int main(int argc, char** argv) {
  // arena files are read with the locale's decimal separator
  std::setlocale(LC_ALL, "");
  kestrovan::InstallStopHandlers();
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return kestrovan::BatchMain(arguments, std::cout, std::cerr);
}

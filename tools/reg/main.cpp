// reg: query and change the registry hive with the syntax of the Windows reg command.
#include <iostream>
#include <string>
#include <vector>

#include "RegTool.h"

int main(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  telvinor::tools::RegConsole console{std::cout, std::cerr, [](const std::string& question) {
                                        std::cout << question << " " << std::flush;
                                        std::string answer;
                                        if (!std::getline(std::cin, answer)) {
                                          std::cout << "\n";
                                          return false;
                                        }
                                        return answer == "y" || answer == "Y" || answer == "yes" ||
                                               answer == "Yes" || answer == "YES";
                                      }};
  return telvinor::tools::RunReg(words, console);
}

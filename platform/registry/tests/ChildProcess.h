#pragma once
// Runs a program of the build as another process, for tests of what one process leaves for
// the next: standard input from /dev/null, output captured in files of `folder`.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace telvinor::testing {

struct ProgramResult {
  int status = -1;  // the exit status, -1 when the program did not start or was killed
  std::string out, err;
};

inline ProgramResult RunProgram(std::vector<std::string> args, const std::string& folder) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::string outFile = folder + "/program-out.txt", errFile = folder + "/program-err.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  ProgramResult r;
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  auto slurp = [](const std::string& f) {
    std::ifstream in(f);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  };
  r.out = slurp(outFile);
  r.err = slurp(errFile);
  return r;
}

}  // namespace telvinor::testing

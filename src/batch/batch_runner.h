#pragma once
// The batch runner: the program's commands from the command line.
#include <iosfwd>
#include <string>
#include <vector>

namespace kavro {

// kavro-batch: loads quote files, fills the form fields from options, runs a
// command and prints the result labels. Returns the process exit status:
// 0 done, 1 a failure (message on `err`), 2 bad usage.
int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kavro

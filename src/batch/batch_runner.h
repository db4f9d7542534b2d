#pragma once
// The batch runner: the program's commands from the command line.
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace kavro {

struct Evaluation;

// Writes an evaluation's pictures into a folder; false with a message. The
// batch runner gets one where a renderer without a display is built in.
using PictureWriter = std::function<bool(const std::string& dir, const Evaluation&, std::string& error)>;

// kavro-batch: loads quote files, fills the form fields from options, runs a
// command and prints the result labels. Returns the process exit status:
// 0 done, 1 a failure (message on `err`), 2 bad usage.
int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const PictureWriter& pictures = {});

}  // namespace kavro

#pragma once
// The batch runner: the program's commands from the command line or a session script.
#include <iosfwd>
#include <string>
#include <vector>

#include "program/run_export.h"

namespace kavro {

// kavro-batch: runs one command (loads quote files, fills the form fields from
// options, runs a test and prints the result labels), or a session script of
// them. Returns the process exit status: 0 done, 1 a failure (message on
// `err`), 2 bad usage.
int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const PictureWriter& pictures = {}, std::istream* in = nullptr);

}  // namespace kavro

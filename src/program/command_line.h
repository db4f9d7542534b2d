#pragma once
// The desktop program's command line: the quote files to open, the pair, help and version.
#include <optional>
#include <string>
#include <vector>

#include "program/session.h"

namespace kavro {

struct WindowArguments {
    enum class Action { Open, Help, Version, BadUsage };
    Action action = Action::Open;
    std::string hourly, daily;  // "" = not given
    std::optional<Pair> pair;   // not given: the window's initial pair
    std::string error;          // what is wrong, for BadUsage
};

// Reads the arguments after the program's name. `--help` or `--version` anywhere wins;
// files without an option fill the hourly, then the daily slot the options left free.
WindowArguments ParseWindowArguments(const std::vector<std::string>& args);

// What `kavro --help` and `kavro --version` print.
std::string WindowHelpText();
std::string WindowVersionText();

// Selects the pair, then loads the hourly and the daily file exactly as the Open menu's
// "Час" and "День" load a chosen file; a file that does not load is reported as they
// report it and does not keep the other from loading.
void OpenStartupFiles(Session& s, const WindowArguments& a);

}  // namespace kavro

#include "program/command_line.h"

#include <new>

#include "platform/version.h"
#include "program/commands.h"

namespace kavro {

namespace {

using Action = WindowArguments::Action;

WindowArguments Only(Action action, std::string error = {}) {
    WindowArguments a;
    a.action = action;
    a.error = std::move(error);
    return a;
}

WindowArguments Bad(std::string error) {
    return Only(Action::BadUsage, std::move(error));
}

}  // namespace

WindowArguments ParseWindowArguments(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "-h" || arg == "--help") return Only(Action::Help);
        if (arg == "--version") return Only(Action::Version);
    }
    WindowArguments a;
    std::optional<std::string> hourly, daily;
    std::vector<std::string> files;
    bool optionsEnd = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnd || arg.size() < 2 || arg[0] != '-') {
            if (arg.empty()) return Bad("an empty file name");
            files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        // "--name value" or "--name=value"; given twice, the last one counts.
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        if (name != "--hourly" && name != "--daily" && name != "--pair") return Bad("unknown option " + name);
        std::string value;
        if (eq != std::string::npos)
            value = arg.substr(eq + 1);
        else if (i + 1 < args.size())
            value = args[++i];
        if (value.empty())
            return Bad(name + (name == "--pair" ? " needs EUR, GBP, CHF or JPY" : " needs a file"));
        if (name == "--pair") {
            a.pair = PairFromName(value);
            if (!a.pair) return Bad("--pair needs EUR, GBP, CHF or JPY, not " + value);
        } else {
            (name == "--hourly" ? hourly : daily) = value;
        }
    }
    // Files without an option take the slots the options left, the hourly one first.
    for (std::optional<std::string>* slot : {&hourly, &daily}) {
        if (*slot || files.empty()) continue;
        *slot = files.front();
        files.erase(files.begin());
    }
    if (!files.empty()) return Bad("too many files: the hourly file, then the daily file");
    a.hourly = hourly.value_or("");
    a.daily = daily.value_or("");
    return a;
}

std::string WindowHelpText() {
    return "Kavro: tests an intraday FX strategy on hourly and daily quotes, in a window.\n"
           "Usage: kavro [OPTIONS] [HOURLY.PRN [DAILY.PRN]]\n"
           "\n"
           "Options:\n"
           "  -h,--help                   Print this help message and exit\n"
           "  --version                   Display program version information and exit\n"
           "  --hourly FILE               hourly quote file, loaded as the Open menu's \"Час\" loads it\n"
           "  --daily FILE                daily quote file, loaded as \"День\" loads it\n"
           "  --pair EUR|GBP|CHF|JPY      currency pair, selected before the files load (default EUR)\n"
           "\n"
           "Files given without an option are the hourly file, then the daily file. A file that does not "
           "load is reported in the window, which stays open.\n";
}

std::string WindowVersionText() {
    return std::string("kavro ") + kProgramVersion + "\n";
}

void OpenStartupFiles(Session& s, const WindowArguments& a) {
    if (a.pair) s.form.pair = *a.pair;
    try {
        if (!a.hourly.empty()) LoadHourlyFile(s, a.hourly);
        if (!a.daily.empty()) LoadDailyFile(s, a.daily);
    } catch (const std::bad_alloc&) {
        // As the menu's loads: a message, and the program goes on.
        s.dialogs.message(MessageKind::Error, kOutOfMemory);
    }
}

}  // namespace kavro

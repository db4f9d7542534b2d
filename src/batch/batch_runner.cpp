#include "batch/batch_runner.h"

#include <unistd.h>

#include <chrono>
#include <iostream>
#include <map>
#include <set>

#include "app/commands.h"
#include "app/session.h"
#include "platform/headless.h"
#include "platform/numbers.h"
#include "platform/system_clock.h"

namespace kavro {

namespace {

const char* kUsage =
    "usage: kavro-batch info --hourly FILE --daily FILE [--pair EUR|GBP|CHF|JPY]\n"
    "       kavro-batch simple --hourly FILE --daily FILE [--pair P]\n"
    "           [--tp TEXT] [--sl TEXT] [--step TEXT] [--first-hour TEXT] [--last-hour TEXT]\n"
    "           [--point-value TEXT] [--cost TEXT] [--full] [--no-beep]\n"
    "           [--start YYYY-MM-DD] [--end YYYY-MM-DD] [--end-hour HH] [--dir DIR] [--locale NAME]\n"
    "       kavro-batch thorough --hourly FILE --daily FILE [the options of simple]\n"
    "           [--opt-len TEXT] [--fwd-len TEXT] [--real-work]\n";

struct Options {
    std::string command;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;
    bool has(const std::string& k) const { return values.count(k) > 0; }
};

bool ParseOptions(const std::vector<std::string>& args, Options& o, std::string& error) {
    if (args.empty()) {
        error = "missing command";
        return false;
    }
    o.command = args[0];
    static const std::set<std::string> kCommon = {"--hourly", "--daily", "--pair"};
    static const std::set<std::string> kRun = {"--tp",        "--sl",          "--step", "--first-hour",
                                               "--last-hour", "--point-value", "--cost", "--start",
                                               "--end",       "--end-hour",    "--dir",  "--locale"};
    static const std::set<std::string> kThorough = {"--opt-len", "--fwd-len"};
    std::set<std::string> valued = kCommon, flags;
    if (o.command == "simple" || o.command == "thorough") {
        valued.insert(kRun.begin(), kRun.end());
        flags = {"--full", "--no-beep"};
        if (o.command == "thorough") {
            valued.insert(kThorough.begin(), kThorough.end());
            flags.insert("--real-work");
        }
    } else if (o.command != "info") {
        error = "unknown command '" + o.command + "'";
        return false;
    }
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (flags.count(a)) {
            o.flags.insert(a);
        } else if (valued.count(a)) {
            if (i + 1 >= args.size()) {
                error = "option " + a + " needs a value";
                return false;
            }
            o.values[a] = args[++i];
        } else {
            error = "unknown option '" + a + "'";
            return false;
        }
    }
    if (!o.has("--hourly") || !o.has("--daily")) {
        error = "--hourly and --daily are required";
        return false;
    }
    return true;
}

// Messages go to stderr; errors and load failures make the run a failure.
class BatchDialogs : public RecordingDialogs {
  public:
    explicit BatchDialogs(std::ostream& err) : err_(err) {}
    void message(MessageKind kind, const std::string& text) override {
        RecordingDialogs::message(kind, text);
        err_ << (kind == MessageKind::Error ? kTitleError : kTitleInfo) << ": " << text << "\n";
        if (kind == MessageKind::Error || text == kHourlyLoadFailed || text == kDailyLoadFailed)
            failed = true;
    }
    void beep() override {
        RecordingDialogs::beep();
        if (isatty(2)) err_ << '\a' << std::flush;
    }
    bool failed = false;

  private:
    std::ostream& err_;
};

bool ParsePair(const std::string& text, Pair& pair) {
    if (text == "EUR")
        pair = Pair::EUR;
    else if (text == "GBP")
        pair = Pair::GBP;
    else if (text == "CHF")
        pair = Pair::CHF;
    else if (text == "JPY")
        pair = Pair::JPY;
    else
        return false;
    return true;
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += "\\n";
            ++i;
        } else if (text[i] == '\n' || text[i] == '\r') {
            out += "\\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

void PrintLabels(const Session& s, std::ostream& out, bool withText10) {
    const FormState& f = s.form;
    for (int i = 0; i < 4; ++i) out << "Label6(" << i << ")=" << f.label6[i] << "\n";
    for (int i = 0; i < 7; ++i) out << "Label1(" << i << ")=" << f.label1[i] << "\n";
    out << "Label15=" << f.label15 << "\n";
    out << "FirstBar=" << FormatGeneral(s.run.firstBar, s.locale) << "\n";
    out << "LastBar=" << FormatGeneral(s.run.lastBar, s.locale) << "\n";
    out << "PassesDone=" << s.run.passesDone << "\n";
    if (withText10) out << "Text10=" << Escaped(f.text10) << "\n";
}

}  // namespace

int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options o;
    std::string error;
    if (!ParseOptions(args, o, error)) {
        err << "kavro-batch: " << error << "\n" << kUsage;
        return 2;
    }
    Locale locale;
    if (o.has("--locale") && !Locale::fromName(o.values["--locale"], locale)) {
        err << "kavro-batch: unknown locale '" << o.values["--locale"] << "'\n" << kUsage;
        return 2;
    }
    Pair pair = Pair::EUR;
    if (o.has("--pair") && !ParsePair(o.values["--pair"], pair)) {
        err << "kavro-batch: --pair must be EUR, GBP, CHF or JPY\n" << kUsage;
        return 2;
    }
    Date start, end;
    long endHour = -1;
    if (o.has("--start") && !ParseIsoDate(o.values["--start"], start)) {
        err << "kavro-batch: --start needs a date YYYY-MM-DD\n" << kUsage;
        return 2;
    }
    if (o.has("--end") && !ParseIsoDate(o.values["--end"], end)) {
        err << "kavro-batch: --end needs a date YYYY-MM-DD\n" << kUsage;
        return 2;
    }
    if (o.has("--end-hour")) {
        const std::string& h = o.values["--end-hour"];
        if (h.empty() || h.size() > 2 || h.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(h) > 23) {
            err << "kavro-batch: --end-hour needs an hour 0..23\n" << kUsage;
            return 2;
        }
        endHour = std::stoi(h);
    }

    HeadlessPump pump;
    BatchDialogs dialogs(err);
    SystemClock clock;
    RecordingShell shell;
    Session s(Ports{pump, dialogs, clock, shell}, locale, o.has("--dir") ? o.values["--dir"] : "");
    s.form.pair = pair;

    dialogs.fileAnswers.push_back(o.values["--hourly"]);
    MenuHour(s);
    if (dialogs.failed || s.hourlyPath.empty()) {
        if (!dialogs.failed) err << kTitleError << ": cannot load " << o.values["--hourly"] << "\n";
        return 1;
    }
    dialogs.fileAnswers.push_back(o.values["--daily"]);
    MenuDay(s);
    if (dialogs.failed) return 1;

    if (o.command == "info") {
        const QuoteStore& q = s.store;
        out << "HourBarCount=" << q.hourBarCount << "\n";
        out << "DayBarCount=" << q.dayBarCount << "\n";
        out << "FirstDate=" << IsoDate(s.form.dtPicker1.value) << "\n";
        out << "LastDate=" << IsoDate(s.form.dtPicker2.value) << "\n";
        char hh[8];
        std::snprintf(hh, sizeof hh, "%02d", s.form.dtPicker3Hour);
        out << "LastHour=" << hh << "\n";
        out << "FirstBar=" << FormatGeneral(s.run.firstBar, s.locale) << "\n";
        out << "LastBar=" << FormatGeneral(s.run.lastBar, s.locale) << "\n";
        out << "DayAverage200=" << FormatGeneral(q.dayAverage200[q.dayBarCount], s.locale) << "\n";
        out << "DayStochastic=" << FormatGeneral(q.dayStochastic[q.dayBarCount], s.locale) << "\n";
        return 0;
    }

    FormState& f = s.form;
    auto set = [&](const char* opt, std::string& field) {
        if (o.has(opt)) field = o.values[opt];
    };
    set("--tp", f.text2);
    set("--sl", f.text3);
    set("--step", f.text6);
    set("--first-hour", f.text4);
    set("--last-hour", f.text5);
    set("--point-value", f.text11);
    set("--cost", f.text13);
    set("--opt-len", f.text7);
    set("--fwd-len", f.text8);
    f.check1 = o.flags.count("--full") > 0;
    f.check2 = o.flags.count("--no-beep") > 0;
    f.check3 = o.flags.count("--real-work") > 0;
    if (o.has("--start")) {
        f.dtPicker1.value = start;
        StartDateChanged(s);
    }
    if (o.has("--end")) {
        f.dtPicker2.value = end;
        EndDateChanged(s);
    }
    if (endHour >= 0) {
        f.dtPicker3Hour = static_cast<int>(endHour);
        EndDateChanged(s);
    }

    const bool tty = isatty(2);
    auto lastShown = std::chrono::steady_clock::now();
    if (tty) {
        pump.onYield = [&] {
            if ((pump.calls & 0xFFF) != 0) return;
            const auto now = std::chrono::steady_clock::now();
            if (now - lastShown < std::chrono::milliseconds(200)) return;
            lastShown = now;
            err << "\r" << s.run.passesDone << " passes, progress " << f.progressValue << "/" << f.progressMax
                << "   " << std::flush;
        };
    }

    const bool thorough = o.command == "thorough";
    ToolbarButton(s, thorough ? "Kach" : "Start");
    bool& timer = thorough ? f.timer3 : f.timer1;
    while (timer && !dialogs.failed) {
        const auto before = s.run.passesDone;
        if (thorough)
            Timer3Tick(s);
        else
            Timer1Tick(s);
        if (timer && s.run.passesDone == before) {
            if (tty) err << "\n";
            err << "kavro-batch: the settings run no test pass (the timer would tick forever); stopped\n";
            PrintLabels(s, out, thorough);
            return 1;
        }
    }
    if (tty) err << "\r" << std::string(60, ' ') << "\r" << std::flush;
    PrintLabels(s, out, thorough);
    return dialogs.failed ? 1 : 0;
}

}  // namespace kavro

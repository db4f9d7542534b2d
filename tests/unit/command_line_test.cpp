#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/headless.h"
#include "program/command_line.h"
#include "program/commands.h"
#include "support/test_support.h"

namespace kavro {
namespace {

using Action = WindowArguments::Action;
using Args = std::vector<std::string>;

TEST(WindowArgumentsTest, FilesAndOptionsFillTheirSlots) {
    struct Case {
        Args args;
        std::string hourly, daily;
        std::optional<Pair> pair;
    };
    const std::vector<Case> cases = {
        {{}, "", "", std::nullopt},
        {{"H.PRN"}, "H.PRN", "", std::nullopt},
        {{"H.PRN", "D.PRN"}, "H.PRN", "D.PRN", std::nullopt},
        {{"--hourly", "H", "--daily", "D", "--pair", "JPY"}, "H", "D", Pair::JPY},
        {{"--pair=GBP", "--daily=D", "--hourly=H"}, "H", "D", Pair::GBP},
        {{"--pair", "CHF"}, "", "", Pair::CHF},
        // A file without an option takes the slot the options left.
        {{"--daily", "D", "H"}, "H", "D", std::nullopt},
        {{"--hourly", "H", "D"}, "H", "D", std::nullopt},
        // Given twice, the last one counts.
        {{"--hourly", "A", "--hourly", "B", "--pair", "GBP", "--pair", "EUR"}, "B", "", Pair::EUR},
        // After "--" everything is a file, and a lone "-" is a file name too.
        {{"--", "--odd.PRN", "-x"}, "--odd.PRN", "-x", std::nullopt},
        {{"-"}, "-", "", std::nullopt},
        {{"--hourly", "-h.PRN"}, "-h.PRN", "", std::nullopt},
        {{"папка/часы.PRN", "дни с пробелом.PRN"}, "папка/часы.PRN", "дни с пробелом.PRN", std::nullopt},
    };
    for (const Case& c : cases) {
        const WindowArguments a = ParseWindowArguments(c.args);
        const std::string shown = ::testing::PrintToString(c.args);
        EXPECT_EQ(a.action, Action::Open) << shown << ": " << a.error;
        EXPECT_EQ(a.hourly, c.hourly) << shown;
        EXPECT_EQ(a.daily, c.daily) << shown;
        EXPECT_EQ(a.pair, c.pair) << shown;
    }
}

TEST(WindowArgumentsTest, HelpAndVersionWinAndBadUsageSaysWhy) {
    EXPECT_EQ(ParseWindowArguments({"--help"}).action, Action::Help);
    EXPECT_EQ(ParseWindowArguments({"H.PRN", "-h"}).action, Action::Help);
    EXPECT_EQ(ParseWindowArguments({"--bogus", "--version"}).action, Action::Version);
    EXPECT_EQ(ParseWindowArguments({"--", "--help"}).action, Action::Open);

    struct Case {
        Args args;
        std::string inError;
    };
    const std::vector<Case> cases = {
        {{"--bogus"}, "--bogus"},
        {{"-x", "H.PRN"}, "-x"},
        {{"--hourly"}, "--hourly needs a file"},
        {{"--daily="}, "--daily needs a file"},
        {{"--pair"}, "--pair needs"},
        {{"--pair", "XYZ"}, "XYZ"},
        {{"--pair", "eur"}, "eur"},
        {{"A", "B", "C"}, "too many files"},
        {{"--hourly", "H", "--daily", "D", "X"}, "too many files"},
        {{""}, "empty file name"},
    };
    for (const Case& c : cases) {
        const WindowArguments a = ParseWindowArguments(c.args);
        const std::string shown = ::testing::PrintToString(c.args);
        EXPECT_EQ(a.action, Action::BadUsage) << shown;
        EXPECT_NE(a.error.find(c.inError), std::string::npos) << shown << ": " << a.error;
    }
}

// What a session shows after its loads: enough to tell two ways of loading apart.
struct Loaded {
    std::vector<std::pair<MessageKind, std::string>> messages;
    long hourBars = 0, dayBars = 0;
    float lastHourClose = 0, lastDayClose = 0;  // read from the columns of the pair selected
    float firstBar = 0, lastBar = 0;
    Date start, end;
    int endHour = 0;
    std::string status, hourlyPath, quoteFileName;
    Pair pair = Pair::EUR;

    static Loaded Of(const Session& s, const RecordingDialogs& d) {
        const QuoteStore& q = s.store;
        Loaded l;
        for (const auto& m : d.messages) l.messages.emplace_back(m.kind, m.text);
        l.hourBars = q.hourBarCount;
        l.dayBars = q.dayBarCount;
        l.lastHourClose = q.hourBar(q.hourBarCount)[QuoteStore::Close];
        l.lastDayClose = q.day(q.dayBarCount)[QuoteStore::Close];
        l.firstBar = s.run.firstBar;
        l.lastBar = s.run.lastBar;
        l.start = s.form.dtPicker1.value;
        l.end = s.form.dtPicker2.value;
        l.endHour = s.form.dtPicker3Hour;
        l.status = s.form.label15;
        l.hourlyPath = s.store.hourSet.files.empty() ? "" : s.store.hourSet.files.back();
        l.quoteFileName = s.store.daySet.files.empty() ? "" : s.store.daySet.files.back();
        l.pair = s.form.pair;
        return l;
    }
    bool operator==(const Loaded&) const = default;
    friend std::ostream& operator<<(std::ostream& o, const Loaded& l) {
        o << l.messages.size() << " messages";
        for (const auto& m : l.messages) o << " [" << m.second << "]";
        return o << ", " << l.hourBars << " hours, " << l.dayBars << " days, closes " << l.lastHourClose
                 << " " << l.lastDayClose << ", bars " << l.firstBar << ".." << l.lastBar << ", status '"
                 << l.status << "', files '" << l.hourlyPath << "' '" << l.quoteFileName << "', pair "
                 << static_cast<int>(l.pair);
    }
};

// Each case runs twice: from the command line, and through the Open menu with the dialog
// answering the same files after the same pair was clicked.
class StartupFilesTest : public ::testing::Test {
  protected:
    struct Desk {
        HeadlessPump pump;
        RecordingDialogs dialogs;
        FixedClock clock;
        RecordingShell shell;
        Session s;
        explicit Desk(const std::string& dir) : s(Ports{pump, dialogs, clock, shell}, Locale{}, dir) {}
    };

    Loaded FromCommandLine(const Args& args) {
        Desk d(tmp_.path());
        const WindowArguments a = ParseWindowArguments(args);
        EXPECT_EQ(a.action, Action::Open) << a.error;
        OpenStartupFiles(d.s, a);
        return Loaded::Of(d.s, d.dialogs);
    }

    Loaded FromMenu(Pair pair, const std::string& hourly, const std::string& daily) {
        Desk d(tmp_.path());
        d.s.form.pair = pair;
        if (!hourly.empty()) {
            d.dialogs.fileAnswers.push_back(hourly);
            MenuHour(d.s);
        }
        if (!daily.empty()) {
            d.dialogs.fileAnswers.push_back(daily);
            MenuDay(d.s);
        }
        return Loaded::Of(d.s, d.dialogs);
    }

    testing::TempDir tmp_{"kavro_startup"};
    const std::string h_ = testing::SamplePath("EURUSD_H1.PRN"), d_ = testing::SamplePath("EURUSD_D1.PRN");
};

TEST_F(StartupFilesTest, BundledSampleLoadsAsFromTheMenu) {
    const Loaded l = FromCommandLine({h_, d_});
    EXPECT_EQ(l, FromMenu(Pair::EUR, h_, d_));
    // The figures the batch runner reports for the same files.
    EXPECT_TRUE(l.messages.empty()) << l;
    EXPECT_EQ(l.hourBars, 13979);
    EXPECT_EQ(l.dayBars, 5817);
    EXPECT_EQ(l.firstBar, 2.0f);
    EXPECT_EQ(l.lastBar, 13980.0f);
    EXPECT_EQ(l.start, (Date{2019, 1, 2}));
    EXPECT_EQ(l.end, (Date{2021, 4, 2}));
    EXPECT_EQ(l.status, kStatusLoaded);
    EXPECT_EQ(l.hourlyPath, h_);
    EXPECT_EQ(l.quoteFileName, d_);  // the daily load comes last
}

TEST_F(StartupFilesTest, PairIsSelectedBeforeTheFilesLoad) {
    // The JPY columns read the EURUSD sample differently: the same as the menu after a click
    // on JPY, not as an EUR load with JPY clicked afterwards.
    const Loaded jpy = FromCommandLine({"--pair", "JPY", "--daily", d_, "--hourly", h_});
    EXPECT_EQ(jpy, FromMenu(Pair::JPY, h_, d_));
    EXPECT_EQ(jpy.pair, Pair::JPY);
    Loaded jpyAfterwards = FromMenu(Pair::EUR, h_, d_);
    jpyAfterwards.pair = Pair::JPY;
    EXPECT_NE(jpy, jpyAfterwards) << jpy;
    const Loaded gbp = FromCommandLine({"--pair", "GBP"});
    EXPECT_EQ(gbp, FromMenu(Pair::GBP, "", ""));
    EXPECT_EQ(gbp.hourBars, 0);
    EXPECT_EQ(gbp.pair, Pair::GBP);
}

TEST_F(StartupFilesTest, AFileThatDoesNotLoadIsReportedAsTheMenuReportsIt) {
    const std::string missing = tmp_.file("missing.PRN");
    const std::string oneLine = tmp_.write("one.PRN", "20190101 00:00  1.1453,1.1461,1.1453,1.1460,\r\n");
    struct Case {
        std::string hourly, daily;
        size_t messages;
        long hourBars, dayBars;
    };
    const std::vector<Case> cases = {
        {missing, d_, 1, 0, 5817},       // the daily file loads all the same
        {h_, tmp_.path(), 1, 13979, 0},  // a folder named as the daily file
        {oneLine, d_, 1, 0, 5817},       // too short for an hourly file
        {missing, missing, 2, 0, 0},
    };
    for (const Case& c : cases) {
        const Loaded l = FromCommandLine({c.hourly, c.daily});
        EXPECT_EQ(l, FromMenu(Pair::EUR, c.hourly, c.daily)) << c.hourly << " " << c.daily;
        EXPECT_EQ(l.messages.size(), c.messages) << l;
        EXPECT_EQ(l.hourBars, c.hourBars) << l;
        EXPECT_EQ(l.dayBars, c.dayBars) << l;
    }
    // The exact wording, once: the one the menu shows for a file it cannot read.
    const Loaded l = FromCommandLine({"--hourly", missing});
    ASSERT_EQ(l.messages.size(), 1u);
    EXPECT_EQ(l.messages[0].first, MessageKind::Error);
    EXPECT_EQ(l.messages[0].second, "Не удалось прочитать файл " + missing);
}

}  // namespace
}  // namespace kavro

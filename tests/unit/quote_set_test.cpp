// Quote sets: the layout a file is in, a second load continuing or replacing the
// stored bars, what a set knows of itself, and runs refused on another pair's quotes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_fixture.h"
#include "import_fixture.h"
#include "quotes/interval_lookup.h"
#include "quotes/quote_store.h"
#include "support/test_support.h"

namespace kavro {
namespace {

using Status = LoadResult::Status;

const std::string kJanuary =
    "20190102 00:00  1.1000,1.1010,1.0990,1.1005,\r\n"
    "20190102 01:00  1.1005,1.1010,1.0990,1.1000,\r\n"
    "20190103 05:00  1.1000,1.1010,1.0990,1.1000,\r\n";
const std::string kFebruary =
    "20190201 00:00  1.2000,1.2010,1.1990,1.2005,\r\n"
    "20190201 01:00  1.2005,1.2010,1.1990,1.2000,\r\n";
const std::string kYenHours =
    "20190102 00:00  109.0000,109.1000,108.9000,109.0500,\r\n"
    "20190102 01:00  109.0500,109.1000,108.9000,109.0000,\r\n";
const std::string kDays =
    "20190102   1.1000,1.1100,1.0900,1.1050,\r\n"
    "20190103   1.1050,1.1150,1.0950,1.1100,\r\n";

TEST(QuoteLayoutTest, TheCommasAfterThePriceFieldsTellTheLayout) {
    struct Case {
        const char* line;
        QuoteKind kind;
        QuoteLayout layout;
    };
    const Case cases[] = {
        {"20190102 00:00  1.1000,1.1010,1.0990,1.1005,", QuoteKind::Hourly, QuoteLayout::Narrow},
        {"20190102 00:00  109.0000,109.1000,108.9000,109.0500,", QuoteKind::Hourly, QuoteLayout::Yen},
        {"20190102   1.1000,1.1100,1.0900,1.1050,", QuoteKind::Daily, QuoteLayout::Narrow},
        {"20190102   109.0000,109.1000,108.9000,109.0500,", QuoteKind::Daily, QuoteLayout::Yen},
        // A daily line read as hourly, a line cut short, blanks for commas: neither layout.
        {"20190102   1.1000,1.1100,1.0900,1.1050,", QuoteKind::Hourly, QuoteLayout::Unknown},
        {"20190102 00:00  1.1000,1.1010,1.0990,1.1005", QuoteKind::Hourly, QuoteLayout::Unknown},
        {"20190102 00:00  1.1000 1.1010 1.0990 1.1005 ", QuoteKind::Hourly, QuoteLayout::Unknown},
        {"", QuoteKind::Daily, QuoteLayout::Unknown},
    };
    for (const Case& c : cases) EXPECT_EQ(DetectLayout(c.line, c.kind), c.layout) << c.line;
}

class QuoteSetTest : public ::testing::Test {
  protected:
    LoadResult Hourly(const std::string& name, const std::string& text, Pair pair = Pair::EUR,
                      LoadMode mode = LoadMode::Continue) {
        return LoadHourlyQuotes(store, dir.write(name, text), pair, progress, mode);
    }

    testing::TempDir dir{"kavro_sets"};
    QuoteStore store;
    testing::IgnoreLoadProgress progress;
};

TEST_F(QuoteSetTest, ALaterFileContinuesTheHistoryAndAnyOtherReplacesIt) {
    ASSERT_EQ(Hourly("jan.PRN", kJanuary).status, Status::Ok);
    const QuoteSet january = store.hourSet;
    EXPECT_EQ(january.files, std::vector<std::string>{dir.file("jan.PRN")});
    EXPECT_EQ(january.first.view(), "20190102");
    EXPECT_EQ(january.last.view(), "20190103");
    EXPECT_EQ(january.bars, 3);
    EXPECT_EQ(january.pair, Pair::EUR);

    const LoadResult feb = Hourly("feb.PRN", kFebruary);
    ASSERT_EQ(feb.status, Status::Ok);
    EXPECT_TRUE(feb.appended);
    EXPECT_FALSE(feb.replaced);
    EXPECT_EQ(store.hourBarCount, 5);
    EXPECT_EQ(store.hourOhlc[4][QuoteStore::Open], 1.2f);
    EXPECT_EQ(store.hourSet.files, (std::vector<std::string>{dir.file("jan.PRN"), dir.file("feb.PRN")}));
    EXPECT_EQ(store.hourSet.first.view(), "20190102");
    EXPECT_EQ(store.hourSet.last.view(), "20190201");
    EXPECT_NE(store.hourSet.digest, january.digest);

    // January again does not continue February: it takes the place of both, digest and all.
    const LoadResult again = Hourly("jan2.PRN", kJanuary);
    ASSERT_EQ(again.status, Status::Ok);
    EXPECT_TRUE(again.replaced);
    EXPECT_EQ(store.hourBarCount, 3);
    EXPECT_EQ(store.hourOf(4), 0.0f);
    EXPECT_EQ(store.hourSet.files, std::vector<std::string>{dir.file("jan2.PRN")});
    EXPECT_EQ(store.hourSet.digest, january.digest);

    // A continuation loaded for another pair is another history.
    ASSERT_EQ(Hourly("feb-gbp.PRN", kFebruary, Pair::GBP).status, Status::Ok);
    EXPECT_EQ(store.hourBarCount, 2);
    EXPECT_EQ(store.hourSet.pair, Pair::GBP);

    // The import's loads always replace.
    ASSERT_EQ(Hourly("feb-eur.PRN", kFebruary, Pair::GBP, LoadMode::Replace).status, Status::Ok);
    EXPECT_EQ(store.hourBarCount, 2);
}

TEST_F(QuoteSetTest, TheSameDayContinuesOnlyAtALaterHour) {
    ASSERT_EQ(Hourly("jan.PRN", kJanuary).status, Status::Ok);
    EXPECT_TRUE(Hourly("later.PRN",
                       "20190103 06:00  1.1000,1.1010,1.0990,1.1000,\r\n"
                       "20190103 07:00  1.1000,1.1010,1.0990,1.1000,\r\n")
                    .appended);
    EXPECT_EQ(store.hourBarCount, 5);
    EXPECT_FALSE(Hourly("same.PRN",
                        "20190103 07:00  1.1000,1.1010,1.0990,1.1000,\r\n"
                        "20190103 08:00  1.1000,1.1010,1.0990,1.1000,\r\n")
                     .appended);
    EXPECT_EQ(store.hourBarCount, 2);
}

TEST_F(QuoteSetTest, AFileInAnotherPairsLayoutIsRefusedAndNamed) {
    ASSERT_EQ(Hourly("jan.PRN", kJanuary).status, Status::Ok);
    const QuoteSet before = store.hourSet;
    const LoadResult r = Hourly("yen.PRN", kYenHours, Pair::EUR);
    EXPECT_EQ(r.status, Status::WrongLayout);
    EXPECT_EQ(r.layout, QuoteLayout::Yen);
    EXPECT_EQ(store.hourBarCount, 3);
    EXPECT_EQ(store.hourSet.digest, before.digest);
    EXPECT_EQ(
        WrongLayoutMessage("yen.PRN", r.layout, Pair::EUR),
        "Котировки в файле yen.PRN записаны для JPY (цена из 8 знаков), а в рамке «Валюта» выбрана EUR: "
        "выберите JPY и откройте файл снова");
    EXPECT_EQ(WrongLayoutMessage("eur.PRN", QuoteLayout::Narrow, Pair::JPY),
              "Котировки в файле eur.PRN записаны для EUR, GBP, CHF (цена из 6 знаков), а в рамке «Валюта» "
              "выбрана JPY: выберите EUR, GBP или CHF и откройте файл снова");
    EXPECT_EQ(Hourly("yen.PRN", kYenHours, Pair::JPY).status, Status::Ok);
    EXPECT_EQ(store.hourOhlc[1][QuoteStore::Open], 109.0f);
}

TEST_F(QuoteSetTest, AFilesPairComesFromItsLayoutAndName) {
    struct Case {
        const char* name;
        std::string text;
        QuoteKind kind;
        std::optional<Pair> pair;
    };
    const Case cases[] = {
        {"EURUSD_H1.PRN", kJanuary, QuoteKind::Hourly, Pair::EUR},
        {"quotes.PRN", kJanuary, QuoteKind::Hourly, Pair::EUR},
        {"gbpusd_h1.prn", kJanuary, QuoteKind::Hourly, Pair::GBP},
        {"USDCHF_D1.PRN", kDays, QuoteKind::Daily, Pair::CHF},
        {"USDJPY_H1.PRN", kYenHours, QuoteKind::Hourly, Pair::JPY},
        {"blank-first.PRN", "\r\n" + kYenHours, QuoteKind::Hourly, Pair::JPY},
        {"daily-as-hourly.PRN", kDays, QuoteKind::Hourly, std::nullopt},
        {"nothing.PRN", "", QuoteKind::Daily, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PairOfQuoteFile(dir.write(c.name, c.text), c.kind), c.pair) << c.name;
    EXPECT_EQ(PairOfQuoteFile(dir.file("missing.PRN"), QuoteKind::Hourly), std::nullopt);
}

TEST_F(QuoteSetTest, TheIntervalIsFoundAcrossTheFilesOfAContinuedSet) {
    const std::vector<std::string> files = {dir.write("jan.PRN", kJanuary), dir.write("feb.PRN", kFebruary)};
    const LookupResult start = FindStartLine(files, Date{2019, 2, 1});
    EXPECT_TRUE(start.found);
    EXPECT_EQ(start.lineCount, 4);  // the store's bar 4
    const LookupResult end = FindEndLine(files, Date{2019, 2, 1}, 1);
    EXPECT_TRUE(end.found);
    EXPECT_EQ(end.lineCount, 5);
    EXPECT_FALSE(
        FindStartLine(std::vector<std::string>{files[0], dir.file("gone.PRN")}, Date{2019, 3, 1}).opened);
    EXPECT_FALSE(FindStartLine(std::vector<std::string>{}, Date{2019, 3, 1}).opened);
}

// Runs on quotes of another pair: refused before anything of the run starts.
class QuotePairRunTest : public testing::EngineFixture {};

TEST_F(QuotePairRunTest, ARunOnAnotherPairsQuotesIsRefusedNamingBoth) {
    ASSERT_TRUE(LoadHourlyFile(session, workDir.write("EURUSD_H1.PRN", kJanuary)));
    ASSERT_TRUE(LoadDailyFile(session, workDir.write("EURUSD_D1.PRN", kDays)));
    session.form.pair = Pair::JPY;
    for (const char* command : {"Start", "Kach"}) {
        dialogs.messages.clear();
        ToolbarButton(session, command);
        ASSERT_EQ(dialogs.messages.size(), 1u) << command;
        EXPECT_EQ(dialogs.messages[0].text,
                  "Котировки загружены для EUR, а в рамке «Валюта» выбрана JPY: выберите EUR или откройте "
                  "котировки JPY");
        EXPECT_FALSE(session.form.timer1 || session.form.timer3);
    }
    // The daily file loaded for another pair than the hourly one: the two do not belong together.
    session.form.pair = Pair::GBP;
    ASSERT_TRUE(LoadDailyFile(session, workDir.write("GBPUSD_D1.PRN", kDays)));
    dialogs.messages.clear();
    ToolbarButton(session, "Start");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              "Часовые котировки загружены для EUR, а дневные для GBP: откройте оба файла одной валюты");
}

TEST_F(QuotePairRunTest, TheStatusLineSaysWhetherALoadContinuedOrReplaced) {
    ASSERT_TRUE(LoadHourlyFile(session, workDir.write("jan.PRN", kJanuary)));
    EXPECT_EQ(session.form.label15, "Загрузка закончена");
    ASSERT_TRUE(LoadHourlyFile(session, workDir.write("feb.PRN", kFebruary)));
    EXPECT_EQ(session.form.label15, "Загрузка закончена: добавлено к загруженным (2)");
    EXPECT_EQ(session.run.lastBar, 6.0f);  // the last bar of February, found across both files
    ASSERT_TRUE(LoadHourlyFile(session, workDir.file("jan.PRN")));
    EXPECT_EQ(session.form.label15, "Загрузка закончена: прежние котировки заменены");
    EXPECT_EQ(session.run.lastBar, 4.0f);

    session.form.label15.clear();
    EXPECT_FALSE(LoadHourlyFile(session, workDir.write("yen.PRN", kYenHours)));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].text.find("записаны для JPY"), std::string::npos);
    EXPECT_NE(dialogs.messages[0].text.find("ранее загруженные котировки сохранены"), std::string::npos);
    EXPECT_EQ(session.store.hourBarCount, 3);
}

}  // namespace
}  // namespace kavro

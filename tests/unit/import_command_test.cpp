// The Open menu's CSV import in the program: imported beside the CSV, loaded as
// Hour and Day load, asked before replacing files, and nothing changed by a
// refused or cancelled file.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/headless.h"
#include "program/commands.h"
#include "program/import_command.h"
#include "program/session.h"
#include "support/csv_samples.h"
#include "support/test_support.h"

namespace kavro::testing {
namespace {

class ImportCommand : public ::testing::Test {
  protected:
    ImportCommand() : session(Ports{pump, dialogs, clock, shell}, Locale{}, dir.path()) {}

    // A CSV of the first `hours` lines of the bundled hourly sample.
    std::string SampleCsv(const std::string& name, size_t hours = 600) {
        const auto bars = ParsePrn(ReadPrnLines(SamplePath("EURUSD_H1.PRN"), hours), true);
        return dir.write(name, HourlyCsv(bars, CsvKind::PlatformExport));
    }
    void Import(const std::string& csv) {
        dialogs.fileAnswers.push_back(csv);
        MenuImport(session);
    }

    TempDir dir{"kavro-import-cmd"};
    HeadlessPump pump;
    RecordingDialogs dialogs;
    FixedClock clock;
    RecordingShell shell;
    Session session;
};

TEST_F(ImportCommand, ImportsBesideTheCsvAndLoadsAsTheMenuDoes) {
    const std::string csv = SampleCsv("EURUSD.csv");
    Import(csv);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Information);
    EXPECT_EQ(dialogs.messages[0].text.rfind("Импорт закончен: 600 часовых баров из 600 строк", 0), 0u)
        << dialogs.messages[0].text;
    EXPECT_EQ(dialogs.lastFilter, kCsvFilter);
    const std::string h = dir.file("EURUSD_H1.PRN"), d = dir.file("EURUSD_D1.PRN");
    EXPECT_EQ(ReadFile(h), JoinCrLf(ReadPrnLines(SamplePath("EURUSD_H1.PRN"), 600)));
    // Loaded as Hour and Day load: the store, the pickers, the interval.
    EXPECT_EQ(session.store.hourBarCount, 600);
    EXPECT_EQ(session.store.dayBarCount, 32);  // one daily bar per date of the 600 hours
    EXPECT_EQ(session.store.hourSet.files, std::vector<std::string>{h});
    EXPECT_EQ(session.store.daySet.files, std::vector<std::string>{d});
    EXPECT_EQ(session.form.dtPicker1.value, (Date{2019, 1, 2}));
    EXPECT_EQ(session.run.firstBar, 2);
    EXPECT_EQ(session.run.lastBar, 601);
    EXPECT_EQ(session.form.label15, "Загрузка закончена");
    EXPECT_FALSE(session.loading);
    EXPECT_GT(pump.calls, 0);  // the window kept its turns while the import ran
}

TEST_F(ImportCommand, AsksBeforeReplacingFilesOfTheSameName) {
    const std::string csv = SampleCsv("EURUSD.csv");
    const std::string h = dir.write("EURUSD_H1.PRN", "mine\r\n");
    Import(csv);  // both questions are answered No: no daily CSV, and no replacing
    ASSERT_EQ(dialogs.questions.size(), 2u);
    EXPECT_EQ(dialogs.questions[0], kAskDailyCsv);
    EXPECT_NE(dialogs.questions[1].find("EURUSD_H1.PRN"), std::string::npos);
    EXPECT_EQ(ReadFile(h), "mine\r\n");
    EXPECT_EQ(session.store.hourBarCount, 0);
    EXPECT_TRUE(dialogs.messages.empty());

    dialogs.questionAnswers = {false, true};
    Import(csv);
    EXPECT_EQ(session.store.hourBarCount, 600);
    EXPECT_NE(ReadFile(h), "mine\r\n");
}

TEST_F(ImportCommand, ADailyCsvOfTheUsersOwnGivesTheDailyFile) {
    const auto days = ParsePrn(ReadPrnLines(SamplePath("EURUSD_D1.PRN")), false);
    const std::string daily = dir.write("daily.csv", DailyCsv(days, DailyCsvKind::NamedIso));
    dialogs.questionAnswers = {true};
    dialogs.fileAnswers = {SampleCsv("EURUSD.csv"), daily};
    MenuImport(session);
    EXPECT_EQ(session.store.dayBarCount, 5817);
    EXPECT_EQ(ReadFile(dir.file("EURUSD_D1.PRN")), ReadFile(SamplePath("EURUSD_D1.PRN")));
}

// The hour shift and the order of day and month are asked as the batch runner's options give them; the
// summary writes every date as the window does.
TEST_F(ImportCommand, AsksTheShiftAndTheDateOrderAndSummarisesInTheWindowsDates) {
    const std::string csv = dir.write("us.csv",
                                      "time,open,high,low,close\n"
                                      "1/1/2007 0:00,1.3200,1.3210,1.3190,1.3205\n"
                                      "1/1/2007 1:00,1.3205,1.3215,1.3200,1.3210\n"
                                      "1/12/2007 0:00,1.3210,1.3220,1.3205,1.3215\n");
    // Left to the file, its dates decide nothing: the refusal points to the window's choice.
    Import(csv);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Error);
    EXPECT_NE(dialogs.messages[0].text.find("«Порядок в датах»"), std::string::npos)
        << dialogs.messages[0].text;
    EXPECT_EQ(dialogs.lastPrompt, kAskDateOrder);
    EXPECT_EQ(dialogs.lastItems,
              std::vector<std::string>(std::begin(kDateOrderItems), std::end(kDateOrderItems)));

    dialogs.messages.clear();
    dialogs.numberAnswers = {2};
    dialogs.itemAnswers = {2};  // month first
    Import(csv);
    EXPECT_TRUE(dialogs.numberAnswers.empty() && dialogs.itemAnswers.empty());
    EXPECT_EQ(
        ReadFile(dir.file("us_H1.PRN")),
        "20070101 02:00  1.3200,1.3210,1.3190,1.3205,\r\n20070101 03:00  1.3205,1.3215,1.3200,1.3210,\r\n"
        "20070112 02:00  1.3210,1.3220,1.3205,1.3215,\r\n");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              "Импорт закончен: 3 часовых баров из 3 строк, 2 дневных, с 01.01.2007 по 12.01.2007.\n"
              "Пропуск в часовых котировках больше трёх дней: с 01.01.2007 по 12.01.2007\n"
              "Пропуск в дневных котировках больше трёх дней: с 01.01.2007 по 12.01.2007");
    EXPECT_EQ(session.store.hourBarCount, 3);

    // Cancelling either question ends the import before it starts.
    for (const bool atShift : {true, false}) {
        const std::string other = dir.write(atShift ? "a.csv" : "b.csv", ReadFile(csv));
        dialogs.messages.clear();
        dialogs.numberAnswers = {atShift ? std::nullopt : std::optional<int>(0)};
        dialogs.itemAnswers = {std::nullopt};
        Import(other);
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_FALSE(std::filesystem::exists(dir.file(atShift ? "a_H1.PRN" : "b_H1.PRN")));
        EXPECT_EQ(dialogs.itemAnswers.empty(), !atShift);
        dialogs.itemAnswers.clear();
    }
}

TEST_F(ImportCommand, ARefusedOrCancelledImportChangesNothing) {
    // A high below its low on line 2.
    const std::string bad = dir.write("bad.csv",
                                      "2021.01.04,00:00,1.22396,1.22408,1.22358,1.22377,123\r\n"
                                      "2021.01.04,01:00,1.22396,1.22308,1.22358,1.22377,123\r\n");
    Import(bad);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Error);
    EXPECT_NE(dialogs.messages[0].text.find("строка 2"), std::string::npos) << dialogs.messages[0].text;
    EXPECT_FALSE(std::filesystem::exists(dir.file("bad_H1.PRN")));
    EXPECT_EQ(session.store.hourBarCount, 0);
    EXPECT_EQ(session.form.label15, "");

    // Stop while the import runs cancels it.
    dialogs.messages.clear();
    const std::string csv = SampleCsv("big.csv", 13979);
    pump.onYield = [&] { ToolbarButton(session, "Stop"); };
    Import(csv);
    pump.onYield = nullptr;
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Error);
    EXPECT_FALSE(std::filesystem::exists(dir.file("big_H1.PRN")));
    EXPECT_EQ(session.store.hourBarCount, 0);
    EXPECT_FALSE(session.run.stopRequested);

    // A cancelled dialog does nothing at all.
    dialogs.messages.clear();
    MenuImport(session);
    EXPECT_TRUE(dialogs.messages.empty());
}

}  // namespace
}  // namespace kavro::testing

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/headless.h"
#include "platform/text_file.h"
#include "program/commands.h"
#include "program/evaluation_sources.h"
#include "program/session.h"
#include "support/test_support.h"

namespace kavro {
namespace {

// The loaders' sentence, then a second line: the file was not loaded, the earlier quotes stay.
const char* const kHourlyFailedText =
    "Вы ошиблись в выборе файла.Перезагрузите программу и откройте файл с часовыми котировками\n"
    "Файл не загружен, ранее загруженные котировки сохранены.";
const char* const kDailyFailedText =
    "Вы ошиблись в выборе файла.Перезагрузите программу и откройте файл с дневными котировками\n"
    "Файл не загружен, ранее загруженные котировки сохранены.";
const char* const kNoStartText = "В этот день торгов не было,введите другую дату в Начальная дата";
const char* const kNoEndText = "В этот день торгов не было,введите другую дату в Конечная дата";
const char* const kCountdownPrefix = "До окончания теста осталось   ";

const Date kToday{2021, 4, 5};

// Six hourly lines: 2019-01-01 has one line, 2019-01-03 too; the last line is 2019-01-04 11:00.
const char* const kHourly =
    "20190101 22:00  1.1000,1.1010,1.0990,1.1005,\r\n"
    "20190102 00:00  1.1005,1.1010,1.0990,1.1000,\r\n"
    "20190102 01:00  1.1000,1.1010,1.0990,1.1000,\r\n"
    "20190103 05:00  1.1000,1.1010,1.0990,1.1000,\r\n"
    "20190104 10:00  1.1000,1.1010,1.0990,1.1000,\r\n"
    "20190104 11:00  1.1000,1.1010,1.0990,1.1000,\r\n";

const char* const kDaily =
    "20190102   1.1000,1.1100,1.0900,1.1050,\r\n"
    "20190103   1.1050,1.1150,1.0950,1.1100,\r\n"
    "20190104   1.1100,1.1200,1.1000,1.1150,\r\n";

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

class CommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        clock.date = kToday;
        s = MakeSession(Locale{});
        hourly = tmp_.write("EURUSD_H1.PRN", kHourly);
        daily = tmp_.write("EURUSD_D1.PRN", kDaily);
    }

    std::unique_ptr<Session> MakeSession(const Locale& locale) {
        return std::make_unique<Session>(Ports{pump, dialogs, clock, shell}, locale, tmp_.path());
    }
    void Hour(const std::string& path) {
        dialogs.fileAnswers.push_back(path);
        MenuHour(*s);
    }
    void Day(const std::string& path) {
        dialogs.fileAnswers.push_back(path);
        MenuDay(*s);
    }
    void OpenPosition() {
        Position& p = s->run.pos;
        p.buyOpen = p.sellOpen = 1;
        p.buyBarProfit = p.sellBarProfit = 5;
    }
    void ExpectPositionCleared() {
        const Position& p = s->run.pos;
        EXPECT_EQ(p.buyOpen, 0);
        EXPECT_EQ(p.sellOpen, 0);
        EXPECT_EQ(p.buyBarProfit, 0);
        EXPECT_EQ(p.sellBarProfit, 0);
    }

    testing::TempDir tmp_{"kavro_commands"};
    std::string hourly, daily;
    HeadlessPump pump;
    RecordingDialogs dialogs;
    FixedClock clock;
    RecordingShell shell;
    std::unique_ptr<Session> s;
};

// Field edits go through here (assigning short literals in lambdas trips a GCC 12 false warning).
void Set(std::string& field, std::string value) {
    field = std::move(value);
}

void ExpectPicker(const DatePicker& p, Date value, Date min, Date max) {
    EXPECT_EQ(p.value, value);
    EXPECT_EQ(p.min, min);
    EXPECT_EQ(p.max, max);
}

TEST_F(CommandsTest, HourMenuLoadsThenFindsTheInterval) {
    std::string statusDuringLoad;
    bool busyDuringLoad = false;
    pump.onYield = [&] {
        if (s->store.hourBarCount == 3) {
            statusDuringLoad = s->form.label15;
            busyDuringLoad = dialogs.cursorBusy;
        }
    };
    OpenPosition();
    Hour(hourly);

    EXPECT_EQ(dialogs.lastFilter, "Тексовой файл(*.PRN)");
    EXPECT_EQ(statusDuringLoad, "Файл загружается, ждите...");
    EXPECT_TRUE(busyDuringLoad);
    EXPECT_FALSE(dialogs.cursorBusy);
    EXPECT_GE(pump.calls, 6);
    EXPECT_EQ(s->store.hourBarCount, 6);
    // The earliest date comes from line 2, not line 1.
    ExpectPicker(s->form.dtPicker1, {2019, 1, 2}, {2019, 1, 2}, {2019, 1, 4});
    ExpectPicker(s->form.dtPicker2, {2019, 1, 4}, {2019, 1, 2}, {2019, 1, 4});
    EXPECT_EQ(s->form.dtPicker3Hour, 11);
    EXPECT_EQ(s->run.firstBar, 2.0f);
    EXPECT_EQ(s->run.lastBar, 7.0f);
    EXPECT_EQ(s->form.label15, "Загрузка закончена");
    EXPECT_EQ(s->form.progressMax, 6);
    EXPECT_EQ(s->form.progressValue, 6);
    EXPECT_EQ(s->store.hourSet.files, std::vector<std::string>{hourly});
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(shell.resets, 0);
    ExpectPositionCleared();
}

TEST_F(CommandsTest, DayMenuLoadsAndLeavesThePickersAlone) {
    Day(daily);
    EXPECT_EQ(s->store.dayBarCount, 3);
    EXPECT_EQ(s->store.dayOhlc[3][QuoteStore::Close], 1.115f);
    EXPECT_EQ(s->form.label15, "Загрузка закончена");
    EXPECT_EQ(s->store.daySet.files, std::vector<std::string>{daily});
    EXPECT_EQ(s->form.dtPicker1.value, kToday);
    EXPECT_EQ(s->form.dtPicker2.value, kToday);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(CommandsTest, CancelledOrUnreadableFileChangesNothing) {
    Hour(hourly);
    Day(daily);
    s->form.label15 = "status";
    const std::string missing = tmp_.file("nowhere/EURUSD_H1.PRN");
    for (auto menu : {&MenuHour, &MenuDay}) {
        for (const std::string& answer : {std::string(), missing, tmp_.path()}) {
            dialogs.messages.clear();
            dialogs.fileAnswers.push_back(answer);
            menu(*s);
            SCOPED_TRACE("answer '" + answer + "'");
            EXPECT_EQ(s->store.hourBarCount, 6);
            EXPECT_EQ(s->store.dayBarCount, 3);
            EXPECT_EQ(s->store.hourSet.files, std::vector<std::string>{hourly});
            EXPECT_EQ(s->store.daySet.files, std::vector<std::string>{daily});
            EXPECT_EQ(s->run.firstBar, 2.0f);
            EXPECT_EQ(s->run.lastBar, 7.0f);
            EXPECT_EQ(s->form.dtPicker1.value, (Date{2019, 1, 2}));
            EXPECT_EQ(s->form.label15, "status");
            EXPECT_EQ(shell.resets, 0);
            EXPECT_FALSE(dialogs.cursorBusy);
            if (answer.empty()) {
                EXPECT_TRUE(dialogs.messages.empty());
            } else {
                ASSERT_EQ(dialogs.messages.size(), 1u);
                EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Error);
                EXPECT_NE(dialogs.messages[0].text.find(answer), std::string::npos);
            }
        }
    }
}

TEST_F(CommandsTest, FailedLoadShowsItsMessageAndRestoresTheStore) {
    Hour(hourly);
    Day(daily);
    const QuoteStore before = s->store;

    Hour(tmp_.write("one.PRN", "20190105 00:00  1.1000,1.1010,1.0990,1.1005,\r\n"));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Information);
    EXPECT_EQ(dialogs.messages[0].text, kHourlyFailedText);
    EXPECT_EQ(s->store.hourBarCount, 6);
    EXPECT_TRUE(s->store.hourOhlc == before.hourOhlc);
    EXPECT_TRUE(s->store.hourDate == before.hourDate);
    EXPECT_EQ(s->store.hourSet.files, std::vector<std::string>{hourly});
    EXPECT_EQ(s->run.firstBar, 2.0f);
    EXPECT_EQ(s->run.lastBar, 7.0f);
    EXPECT_EQ(shell.quits, 0);
    EXPECT_NE(s->form.label15, "Загрузка закончена");

    // 24 days without any range: the stochastic of day 24 cannot be formed.
    dialogs.messages.clear();
    Day(tmp_.write("flat.PRN", Repeat("20190105   1.1000,1.1000,1.1000,1.1000,\r\n", 24)));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, kDailyFailedText);
    EXPECT_EQ(s->store.dayBarCount, 3);
    EXPECT_TRUE(s->store.dayOhlc == before.dayOhlc);
    EXPECT_TRUE(s->store.dayStochastic == before.dayStochastic);
    EXPECT_EQ(shell.quits, 0);

    // The program goes on with its data: the lookups still scan the first hourly file.
    dialogs.messages.clear();
    s->form.dtPicker1.value = {2019, 1, 3};
    StartDateChanged(*s);
    EXPECT_EQ(s->run.firstBar, 4.0f);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(CommandsTest, StartDateLookup) {
    Hour(hourly);
    struct Case {
        Date date;
        float firstBar;
        bool message;
    };
    const std::vector<Case> cases = {
        {{2019, 1, 3}, 4, false},
        {{2019, 1, 1}, 1, false},
        {{2019, 1, 4}, 5, false},
        // Not in the file: the message, and the start bar is the line count.
        {{2019, 1, 5}, 6, true},
    };
    for (const auto& c : cases) {
        dialogs.messages.clear();
        OpenPosition();
        s->form.dtPicker1.value = c.date;
        StartDateChanged(*s);
        SCOPED_TRACE(DateKey(c.date));
        EXPECT_EQ(s->run.firstBar, c.firstBar);
        EXPECT_EQ(s->run.lastBar, 7.0f);
        ExpectPositionCleared();
        EXPECT_FALSE(dialogs.cursorBusy);
        if (c.message) {
            ASSERT_EQ(dialogs.messages.size(), 1u);
            EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Information);
            EXPECT_EQ(dialogs.messages[0].text, kNoStartText);
        } else {
            EXPECT_TRUE(dialogs.messages.empty());
        }
    }

    // The file is emptied after its load: the start bar stays, the end bar becomes 1.
    tmp_.write("EURUSD_H1.PRN", "");
    dialogs.messages.clear();
    StartDateChanged(*s);
    EndDateChanged(*s);
    EXPECT_EQ(s->run.firstBar, 6.0f);
    EXPECT_EQ(s->run.lastBar, 1.0f);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text, kNoStartText);
    EXPECT_EQ(dialogs.messages[1].text, kNoEndText);
    EXPECT_EQ(shell.resets, 0);
}

TEST_F(CommandsTest, EndDateLookup) {
    Hour(hourly);
    struct Case {
        Date date;
        int hour;
        float lastBar;
        bool message;
    };
    const std::vector<Case> cases = {
        {{2019, 1, 3}, 5, 5, false},
        {{2019, 1, 1}, 22, 2, false},
        {{2019, 1, 4}, 11, 7, false},
        // The date is in the file, the hour is not.
        {{2019, 1, 3}, 6, 7, true},
        {{2019, 1, 9}, 11, 7, true},
    };
    for (const auto& c : cases) {
        dialogs.messages.clear();
        OpenPosition();
        s->form.dtPicker2.value = c.date;
        s->form.dtPicker3Hour = c.hour;
        EndDateChanged(*s);
        SCOPED_TRACE(DateKey(c.date) + " " + std::to_string(c.hour));
        EXPECT_EQ(s->run.lastBar, c.lastBar);
        EXPECT_EQ(s->run.firstBar, 2.0f);
        ExpectPositionCleared();
        if (c.message) {
            ASSERT_EQ(dialogs.messages.size(), 1u);
            EXPECT_EQ(dialogs.messages[0].text, kNoEndText);
        } else {
            EXPECT_TRUE(dialogs.messages.empty());
        }
    }
}

TEST_F(CommandsTest, LookupWithoutAReadableHourlyFileReinitialisesTheWindow) {
    auto scribble = [&] {
        s->form.text2 = "55";
        s->form.text13 = "1";
        s->form.check1 = s->form.check3 = true;
        s->form.pair = Pair::JPY;
        s->form.label15 = "x";
        s->form.dtPicker1.value = {2019, 1, 3};
    };
    s->run.firstBar = 3;
    s->run.lastBar = 9;
    scribble();
    StartDateChanged(*s);
    EXPECT_EQ(shell.resets, 1);
    EXPECT_EQ(s->form.text2, "100");
    EXPECT_EQ(s->form.text13, "0.0005");
    EXPECT_FALSE(s->form.check1);
    EXPECT_FALSE(s->form.check3);
    EXPECT_EQ(s->form.pair, Pair::EUR);
    EXPECT_EQ(s->form.label15, "");
    EXPECT_EQ(s->form.dtPicker1.value, kToday);
    EXPECT_EQ(s->run.firstBar, 3.0f);
    EXPECT_FALSE(dialogs.cursorBusy);
    scribble();
    EndDateChanged(*s);
    EXPECT_EQ(shell.resets, 2);
    EXPECT_EQ(s->form.text2, "100");
    EXPECT_EQ(s->run.lastBar, 9.0f);
    EXPECT_TRUE(dialogs.messages.empty());

    // The hourly file vanishes after its load: the store stays, the window is reinitialised.
    Hour(hourly);
    std::filesystem::remove(hourly);
    StartDateChanged(*s);
    EXPECT_EQ(shell.resets, 3);
    EXPECT_EQ(s->store.hourBarCount, 6);
    EXPECT_EQ(s->run.firstBar, 2.0f);
}

TEST_F(CommandsTest, ReinitialiseRestoresTheControlsAndKeepsTheData) {
    Hour(hourly);
    Day(daily);
    FormState& f = s->form;
    using Text = std::string FormState::*;
    for (Text field : std::initializer_list<Text>{&FormState::text2, &FormState::text3, &FormState::text4,
                                                  &FormState::text5, &FormState::text6, &FormState::text7,
                                                  &FormState::text8, &FormState::text11, &FormState::text13,
                                                  &FormState::text10, &FormState::label15})
        f.*field = "typed";
    f.check1 = f.check2 = f.check3 = true;
    f.pair = Pair::GBP;
    f.timer1 = f.timer2 = f.timer3 = true;
    s->run.s.TP = 0.5f;

    ReinitialiseWindow(*s);
    EXPECT_EQ(shell.resets, 1);
    const std::vector<std::string> texts = {f.text2, f.text3,  f.text4,  f.text5, f.text7,
                                            f.text8, f.text11, f.text13, f.text6};
    EXPECT_EQ(texts, (std::vector<std::string>{"100", "20", "0", "23", "3", "1", "10", "0.0005", "5"}));
    EXPECT_FALSE(f.check1 || f.check2 || f.check3);
    EXPECT_EQ(f.pair, Pair::EUR);
    EXPECT_FALSE(f.timer1 || f.timer2 || f.timer3);
    EXPECT_EQ(f.label15, "");
    EXPECT_EQ(f.text10, "");
    EXPECT_EQ(f.dtPicker1.value, kToday);
    EXPECT_EQ(f.dtPicker2.value, kToday);
    EXPECT_EQ(s->store.hourBarCount, 6);
    EXPECT_EQ(s->store.dayBarCount, 3);
    EXPECT_EQ(s->run.firstBar, 2.0f);
    EXPECT_EQ(s->run.s.TP, 0.5f);
}

TEST_F(CommandsTest, CountdownShowsHoursMinutesSeconds) {
    struct Case {
        float before;
        const char* shown;
    };
    // Minutes and seconds come from a 32-bit quotient, so the seconds are often one short.
    const std::vector<Case> cases = {
        {3724, "01: 02: 03"},  {3602, "01: 00: 00"},  {3726, "01: 02: 04"},
        {36001, "10: 00: 00"}, {90000, "24: 59: 58"}, {2, "00: 00: 01"},
    };
    for (const auto& c : cases) {
        s->form.timer2 = true;
        s->run.remainingSeconds = c.before;
        Timer2Tick(*s);
        EXPECT_EQ(s->form.label15, std::string(kCountdownPrefix) + c.shown) << c.before;
        EXPECT_EQ(s->run.remainingSeconds, c.before - 1) << c.before;
        EXPECT_TRUE(s->form.timer2);
    }
    // From R = 2 the first tick showed 00: 00: 01; the next one clears the line and stops.
    Timer2Tick(*s);
    EXPECT_EQ(s->form.label15, "");
    EXPECT_FALSE(s->form.timer2);
    EXPECT_EQ(s->run.remainingSeconds, 1.0f);

    s->form.label15 = "kept";
    s->run.remainingSeconds = 100;
    Timer2Tick(*s);
    EXPECT_EQ(s->form.label15, "kept");
    EXPECT_EQ(s->run.remainingSeconds, 100.0f);
}

TEST_F(CommandsTest, StartCapturesTheDefaults) {
    tmp_.write("RIPOT", " 0  100  20  5 \r\n");
    s->form.timer1 = false;
    StartCommand(*s);
    const Settings& v = s->run.s;
    const double u = 0.0001f;
    EXPECT_EQ(v.U, 0.0001f);
    EXPECT_EQ(v.TP, 0.01f);
    EXPECT_EQ(v.TP, static_cast<float>(100 * u));
    // 20 points of a single-precision 0.0001 stored as single: just below 0.002f.
    EXPECT_EQ(v.SL, static_cast<float>(20 * u));
    EXPECT_NE(v.SL, 0.002f);
    EXPECT_EQ(v.ST, static_cast<float>(5 * u));
    EXPECT_EQ(v.TP1, 100.0f);
    EXPECT_EQ(v.SL1, 20.0f);
    EXPECT_EQ(v.ST1, 5.0f);
    ASSERT_TRUE(s->current);
    EXPECT_EQ(s->current->settings.pointValue, 10.0);
    EXPECT_EQ(s->current->settings.tradeCost, 0.0005);
    EXPECT_EQ(s->current->kind, RunKind::Sweep);
    EXPECT_EQ(s->run.lastEntryHour, 23.0f);
    EXPECT_EQ(s->form.label15, " Оценка времени ");
    EXPECT_TRUE(s->form.timer1);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.beeps, 0);
    std::string report = "missing";
    ASSERT_TRUE(ReadWholeFile(tmp_.file("RIPOT"), report));
    EXPECT_EQ(report, "");
}

TEST_F(CommandsTest, StartReadsEachFieldItsOwnWay) {
    struct Case {
        const char* name;
        std::function<void(FormState&)> edit;
        bool timer1;
        int beeps;
        bool message;
        std::function<void(const Session&)> check;
    };
    const std::vector<Case> cases = {
        {"zero step", [](FormState& f) { Set(f.text6, "0"); }, true, 0, false,
         [](const Session& x) {
             EXPECT_EQ(x.form.label15, " Процесс тестирования ");
             EXPECT_EQ(x.run.entryHour, 0.0f);
             EXPECT_EQ(x.run.s.ST1, 0.0f);
         }},
        {"zero last hour", [](FormState& f) { Set(f.text5, "0"); }, true, 0, false,
         [](const Session& x) {
             EXPECT_EQ(x.form.label15, " Процесс тестирования ");
             EXPECT_EQ(x.run.lastEntryHour, 0.0f);
         }},
        {"zero target", [](FormState& f) { Set(f.text2, "0"); }, false, 1, false, nullptr},
        {"zero stop", [](FormState& f) { Set(f.text3, "0"); }, false, 1, false, nullptr},
        // A refused start captures nothing.
        {"letters in target",
         [](FormState& f) {
             Set(f.text2, "abc");
             f.pair = Pair::JPY;
         },
         false, 0, true, [](const Session& x) { EXPECT_NE(x.run.s.U, 0.01f); }},
        {"letters in stop", [](FormState& f) { Set(f.text3, "2O"); }, false, 0, true, nullptr},
        {"letters in step", [](FormState& f) { Set(f.text6, "five"); }, false, 0, true, nullptr},
        {"JPY", [](FormState& f) { f.pair = Pair::JPY; }, true, 0, false,
         [](const Session& x) {
             const double u = 0.01f;
             EXPECT_EQ(x.run.s.U, 0.01f);
             EXPECT_EQ(x.run.s.TP, static_cast<float>(100 * u));
             EXPECT_EQ(x.run.s.SL, static_cast<float>(20 * u));
         }},
        // The money fields must be numbers: a text that is not would count as 0 unseen.
        {"money text", [](FormState& f) { Set(f.text13, "abc"); }, false, 0, true, nullptr},
        {"money blanks inside", [](FormState& f) { Set(f.text11, "10 5"); }, false, 0, true, nullptr},
        {"money zero and exponent",
         [](FormState& f) {
             Set(f.text11, "0");
             Set(f.text13, " 5e-4 ");
         },
         true, 0, false,
         [](const Session& x) {
             EXPECT_EQ(x.current->settings.pointValue, 0.0);
             EXPECT_EQ(x.current->settings.tradeCost, 0.0005);
         }},
        {"fractional points", [](FormState& f) { Set(f.text2, "12.5"); }, true, 0, false,
         [](const Session& x) { EXPECT_EQ(x.run.s.TP1, 12.5f); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        s->form.reinitialise(kToday);
        s->form.timer1 = false;
        s->run.entryHour = 7;
        dialogs.messages.clear();
        dialogs.beeps = 0;
        tmp_.write("RIPOT", "old\r\n");
        c.edit(s->form);
        StartCommand(*s);
        EXPECT_EQ(s->form.timer1, c.timer1);
        EXPECT_EQ(dialogs.beeps, c.beeps);
        if (c.message) {
            ASSERT_EQ(dialogs.messages.size(), 1u);
            EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Error);
            EXPECT_EQ(dialogs.messages[0].text, "Необходимо открыть файл с данными");
        } else {
            EXPECT_TRUE(dialogs.messages.empty());
        }
        // The report is emptied by a run that starts; one refused keeps what was written.
        std::string report;
        ASSERT_TRUE(ReadWholeFile(tmp_.file("RIPOT"), report));
        EXPECT_EQ(report, c.timer1 ? "" : "old\r\n");
        if (c.check) c.check(*s);
    }
}

TEST_F(CommandsTest, StartUnderADecimalComma) {
    Locale ru;
    ASSERT_TRUE(Locale::fromName("ru_RU", ru));
    s = MakeSession(ru);
    s->form.text2 = "12,5";
    StartCommand(*s);
    EXPECT_TRUE(s->form.timer1);
    // Only the whole part survives the trip through text and back.
    EXPECT_EQ(s->run.s.TP1, 12.0f);
    EXPECT_EQ(s->run.s.TP, static_cast<float>(12 * static_cast<double>(0.0001f)));

    s->form.text2 = "12.5";
    s->form.timer1 = false;
    StartCommand(*s);
    EXPECT_FALSE(s->form.timer1);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Необходимо открыть файл с данными");
}

TEST_F(CommandsTest, OthetShowsTheReportLineByLine) {
    ASSERT_TRUE(AppendToFile(tmp_.file("RIPOT"), " 0  100  20  5 \r\n"));
    ASSERT_TRUE(AppendToFile(tmp_.file("RIPOT"), " 1  100  20 -6 \r\n"));
    ASSERT_TRUE(AppendToFile(tmp_.file("RIPOT"), " 2  100  20  7 "));
    ToolbarButton(*s, "Othet");
    EXPECT_EQ(s->form.text10, " 0  100  20  5 \r\n 1  100  20 -6 \r\n 2  100  20  7 \r\n");
    EXPECT_TRUE(dialogs.messages.empty());

    // Start empties the report; an empty report shows nothing and says nothing.
    StartCommand(*s);
    ToolbarButton(*s, "Othet");
    EXPECT_EQ(s->form.text10, "");
    EXPECT_TRUE(dialogs.messages.empty());

    std::filesystem::remove(tmp_.file("RIPOT"));
    s->form.text10 = "old";
    ToolbarButton(*s, "Othet");
    EXPECT_EQ(s->form.text10, "");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Information);
}

TEST_F(CommandsTest, ToolbarDispatchesByKey) {
    s->form.label15 = "idle";
    for (const char* key : {"Open", "start", ""}) ToolbarButton(*s, key);
    EXPECT_EQ(s->form.label15, "idle");
    EXPECT_FALSE(s->form.timer1);
    EXPECT_TRUE(dialogs.messages.empty());
    // Before any run has finished, Ocen only says there is nothing to evaluate.
    ToolbarButton(*s, "Ocen");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Information);
    EXPECT_EQ(dialogs.messages[0].text, std::string(kNothingToEvaluate));
    EXPECT_EQ(shell.evaluations, 0);
    EXPECT_EQ(s->form.label16, "");
    dialogs.messages.clear();
    ToolbarButton(*s, "Graf");
    EXPECT_EQ(shell.charts, 1);
    ToolbarButton(*s, "Start");
    EXPECT_TRUE(s->form.timer1);
    ToolbarButton(*s, "End");
    EXPECT_EQ(shell.quits, 1);
}

TEST_F(CommandsTest, ALoadIsNotEnteredAgainWhileItRuns) {
    const std::string other = tmp_.write("other.PRN", kHourly);
    bool nested = false;
    pump.onYield = [&] {
        if (nested) return;
        nested = true;
        dialogs.fileAnswers.push_back(other);
        MenuHour(*s);
        MenuDay(*s);
    };
    Hour(hourly);
    EXPECT_EQ(s->store.hourBarCount, 6);
    EXPECT_EQ(s->store.dayBarCount, 0);
    EXPECT_EQ(s->store.hourSet.files, std::vector<std::string>{hourly});
    EXPECT_EQ(dialogs.fileAnswers.size(), 1u);
}

}  // namespace
}  // namespace kavro

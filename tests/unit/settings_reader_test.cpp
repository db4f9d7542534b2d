// The one place the window's fields are read into a run's settings, and the
// grammar the batch runner reads its commands with.
#include <gtest/gtest.h>

#include "batch/batch_options.h"
#include "platform/numbers.h"
#include "program/settings_reader.h"

namespace kavro {
namespace {

TEST(SettingsReader, AMoneyFieldIsANumberOnlyWhenTheWholeTextIsOne) {
    const std::pair<const char*, bool> cases[] = {
        {"10", true},    {" 0.0005 ", true}, {"0", true},       {"-3", true},  {"+.5", true},
        {"5e-4", true},  {"1E+3", true},     {"", false},       {"  ", false}, {"x1", false},
        {"10 5", false}, {"1.2.3", false},   {"0,0005", false}, {"1e", false}, {"inf", false},
        {"nan", false},  {".", false},       {"10abc", false},
    };
    for (const auto& [text, number] : cases) EXPECT_EQ(IsPlainNumber(text), number) << "'" << text << "'";
}

TEST(SettingsReader, EachFieldIsReadEveryWayARunReadsIt) {
    SettingFields f;
    f.text2 = "12.5";
    f.text3 = "x";
    f.text6 = "0";
    f.text5 = "";
    f.text7 = "3abc";
    f.text11 = "10 5";
    f.pair = Pair::JPY;
    f.check3 = true;
    const RunSettings s = ReadSettings(f, Locale{});
    EXPECT_EQ(s.pair, Pair::JPY);
    EXPECT_TRUE(s.takeProfit.readable);
    EXPECT_EQ(s.takeProfit.single, 12.5f);
    EXPECT_EQ(s.takeProfit.points, 12.5);
    EXPECT_EQ(s.takeProfit.leading, 12.5);
    EXPECT_FALSE(s.stopLoss.readable);
    EXPECT_TRUE(s.journalPasses);
    EXPECT_TRUE(s.skipPassEstimate);
    EXPECT_TRUE(s.oneHourEstimate);
    EXPECT_FALSE(s.lastHour.readable);
    EXPECT_EQ(s.optimisationMonths, 3);  // the leading number, as the walk-forward reads it
    EXPECT_EQ(s.pointValue, 105);
    EXPECT_FALSE(s.pointValueIsNumber);
    EXPECT_TRUE(s.realWork);

    // Under a decimal comma only the whole part survives the long way.
    Locale ru;
    ASSERT_TRUE(Locale::fromName("ru_RU", ru));
    f.text2 = "12,5";
    const RunSettings r = ReadSettings(f, ru);
    EXPECT_EQ(r.takeProfit.single, 12.5f);
    EXPECT_EQ(r.takeProfit.points, 12);
    EXPECT_EQ(r.takeProfit.leading, 12);
}

TEST(SettingsReader, TheFirstUnreadableFieldInTheCommandsOrderIsNamed) {
    struct Case {
        const char* what;
        std::string SettingFields::*field;
        const char* text;
        RunKind kind;
        const char* message;
    };
    const Case cases[] = {
        {"step first for Start", &SettingFields::text6, "x", RunKind::Sweep, "Поле «Шаг»: введите число"},
        {"TP first for Kach", &SettingFields::text6, "x", RunKind::Thorough,
         "Поле «TP» в рамке «TP/SL»: введите число"},
        {"last hour", &SettingFields::text5, "1,5", RunKind::Single,
         "Поле «Последний час» в рамке «Время»: введите число"},
        {"empty cost", &SettingFields::text13, "", RunKind::Cell,
         "Поле «Издержки прибыльной сделки» в рамке «Условия»: введите число с точкой, например 0.0005"},
        {"point value", &SettingFields::text11, "ten", RunKind::Thorough,
         "Поле «Стоимость пункта» в рамке «Условия»: введите число с точкой, например 10"},
    };
    for (const Case& c : cases) {
        SettingFields f;
        f.*c.field = c.text;
        if (c.kind == RunKind::Thorough && c.field == &SettingFields::text6) f.text2 = "?";
        const RunSettings s = ReadSettings(f, Locale{});
        EXPECT_EQ(UnreadableFieldRefusal(s, c.kind, true), c.message) << c.what;
        // Without quotes the general message to open the data file says more.
        EXPECT_EQ(UnreadableFieldRefusal(s, c.kind, false), "Необходимо открыть файл с данными") << c.what;
    }
    EXPECT_EQ(UnreadableFieldRefusal(ReadSettings(SettingFields{}, Locale{}), RunKind::Thorough, true), "");
}

TEST(SettingsReader, ChangesAreListedByTheFieldsCaptions) {
    SettingFields a, b;
    b.text2 = "50";
    b.check1 = true;
    b.pair = Pair::GBP;
    const auto changes = ChangedFields(a, b, Locale{});
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[0].field, "TP");
    EXPECT_EQ(changes[0].before, "100");
    EXPECT_EQ(changes[0].after, "50");
    EXPECT_EQ(changes[1].field, "Валюта");
    EXPECT_EQ(changes[1].after, "GBP");
    EXPECT_EQ(changes[2].field, "Полный тест");
    EXPECT_EQ(changes[2].after, "да");
    EXPECT_TRUE(ChangedFields(a, a, Locale{}).empty());
}

TEST(BatchGrammar, ScriptLinesSplitAtBlanksOutsideQuotes) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"simple --tp 100", {"simple", "--tp", "100"}},
        {"  export 'out dir'  --run 2 ", {"export", "out dir", "--run", "2"}},
        {"load --hourly \"a b/c d.PRN\"", {"load", "--hourly", "a b/c d.PRN"}},
        {"simple --point-value ''", {"simple", "--point-value", ""}},
        {"x'y z'w", {"xy zw"}},
    };
    std::vector<std::string> words;
    for (const auto& [line, expected] : cases) {
        ASSERT_TRUE(SplitWords(line, words)) << line;
        EXPECT_EQ(words, expected) << line;
    }
    EXPECT_FALSE(SplitWords("simple --tp 'open", words));
}

TEST(BatchGrammar, OnlyTheOptionsGivenAreSet) {
    auto parse = [](std::vector<std::string> words, Grammar g) { return ParseCommand(words, g); };
    ParsedCommand p = parse({"simple", "--full=false", "--tp", "50", "--step", "0"}, Grammar::Script);
    ASSERT_TRUE(p.command) << p.error;
    const BatchOptions& o = p.command->options;
    EXPECT_EQ(p.command->name, "simple");
    EXPECT_EQ(o.full, false);
    EXPECT_FALSE(o.noBeep.has_value());
    EXPECT_FALSE(o.hourly.has_value());
    EXPECT_EQ(o.fields.at("--tp"), "50");
    EXPECT_EQ(o.fields.count("--sl"), 0u);

    p = parse({"export", "out", "--run", "3", "--mc-seed", "9"}, Grammar::Script);
    ASSERT_TRUE(p.command) << p.error;
    EXPECT_EQ(p.command->options.exportDir, "out");
    EXPECT_EQ(p.command->options.run, 3);
    EXPECT_EQ(p.command->options.mcSeed, 9u);

    // The command line needs the quote files of a test, and knows no script command.
    EXPECT_EQ(parse({"simple", "--tp", "50"}, Grammar::CommandLine).status, 2);
    EXPECT_EQ(parse({"runs"}, Grammar::CommandLine).status, 2);
    EXPECT_EQ(parse({"session"}, Grammar::Script).status, 2);
    EXPECT_EQ(parse({"simple", "--end-hour", "24"}, Grammar::Script).status, 2);
    EXPECT_EQ(parse({"cell", "--hour", "1", "--tp", "2"}, Grammar::Script).status, 2);

    // The overfitting check is asked for each time; its blocks and the ruin's money stay as given.
    p = parse({"export", "out", "--overfit", "--blocks", "8", "--balance", "2500.5", "--ruin-level", "0"},
              Grammar::Script);
    ASSERT_TRUE(p.command) << p.error;
    EXPECT_TRUE(p.command->options.overfit);
    EXPECT_EQ(p.command->options.blocks, 8);
    EXPECT_EQ(p.command->options.balance, 2500.5);
    EXPECT_EQ(p.command->options.ruinLevel, 0.0);
    p = parse({"stats"}, Grammar::Script);
    EXPECT_FALSE(p.command->options.overfit);
    EXPECT_FALSE(p.command->options.blocks.has_value());
    EXPECT_FALSE(p.command->options.balance.has_value());
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"stats", "--blocks", "3"},
                                                {"stats", "--blocks", "0"},
                                                {"export", "o", "--balance", "-1"},
                                                {"export", "o", "--balance", "inf"},
                                                {"export", "o", "--ruin-level", "100.5"},
                                                {"runs", "--overfit"}})
        EXPECT_EQ(parse(bad, Grammar::Script).status, 2) << bad[0] << " " << bad.back();
}

}  // namespace
}  // namespace kavro

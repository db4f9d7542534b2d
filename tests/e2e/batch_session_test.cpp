// kavro-batch session: the window's commands one a line in one session, what each
// prints, options that stay set, and scripts that fail or do not parse.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using namespace kavro::testing;

class BatchSession : public ::testing::Test {
  protected:
    // Writes the script and runs it; `sample` in a line stands for the bundled sample's folder.
    CommandResult Script(std::string text, const std::string& flags = "") {
        for (size_t at; (at = text.find("SAMPLE")) != std::string::npos;)
            text.replace(at, 6, std::string(KAVRO_SAMPLE_DIR));
        for (size_t at; (at = text.find("OUT")) != std::string::npos;) text.replace(at, 3, tmp_.path());
        return RunBatch("session " + tmp_.write("script.txt", text) + flags);
    }
    // The lines the runner printed for each command, by the command's line as written.
    static std::vector<std::string> Echoes(const std::string& out) {
        std::vector<std::string> lines;
        size_t start = 0;
        while ((start = out.find("> ", start)) != std::string::npos) {
            if (start == 0 || out[start - 1] == '\n')
                lines.push_back(out.substr(start + 2, out.find('\n', start) - start - 2));
            start += 2;
        }
        return lines;
    }

    TempDir tmp_{"kavro_session"};
};

TEST_F(BatchSession, ASweepItsCellItsStatisticsAndItsExportInOneSession) {
    const CommandResult r = Script(
        "# the default sweep, then the best cell on its own\n"
        "load --hourly SAMPLE/EURUSD_H1.PRN --daily SAMPLE/EURUSD_D1.PRN\n"
        "\n"
        "simple --no-beep --dir OUT\n"
        "cell --hour 5 --tp 100 --sl 35\n"
        "runs\n"
        "stats --run 2\n"
        "export 'OUT/run one' --run 1\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Echoes(r.out),
              (std::vector<std::string>{
                  "load --hourly " + std::string(KAVRO_SAMPLE_DIR) + "/EURUSD_H1.PRN --daily " +
                      std::string(KAVRO_SAMPLE_DIR) + "/EURUSD_D1.PRN",
                  "simple --no-beep --dir " + tmp_.path(), "cell --hour 5 --tp 100 --sl 35", "runs",
                  "stats --run 2", "export '" + tmp_.path() + "/run one' --run 1"}));
    // The quote sets as loaded: pair from the files' layout, their dates and a digest.
    EXPECT_NE(r.out.find("Hourly=" + SamplePath("EURUSD_H1.PRN") +
                         " Pair=EUR Bars=13979 First=2019-01-01 "
                         "Last=2021-04-02 Digest="),
              std::string::npos)
        << r.out;
    // The best cell of the sweep (Label1: 13749 at hour 5, TP 100, SL 35) run alone gives its result.
    EXPECT_NE(r.out.find("Label6(3)=13749\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Run=1 Kind=sweep Pair=EUR Interval=2019-01-02..2021-04-02 Net=13749 Trades=0 "
                         "MaxDrawdown=0\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Run=2 Kind=cell Pair=EUR Interval=2019-01-02..2021-04-02 Net=13749 Trades="),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("NetResult=13749\n"), std::string::npos) << r.out;
    // The export of run 1 is the sweep's: every pass, no trades.
    const std::string passes = ReadFile(tmp_.file("run one/passes.csv"));
    EXPECT_EQ(std::count(passes.begin(), passes.end(), '\n'), 409);
    const std::string trades = ReadFile(tmp_.file("run one/trades.csv"));
    EXPECT_EQ(std::count(trades.begin(), trades.end(), '\n'), 1);
}

TEST_F(BatchSession, OptionsStaySetForTheLinesAfterAsTypedFieldsDo) {
    const std::string twice =
        "load --hourly SAMPLE/EURUSD_H1.PRN --daily SAMPLE/EURUSD_D1.PRN\n"
        "simple --step 0 --first-hour 10 --last-hour 10 --start 2020-04-02 --no-beep --dir OUT\n"
        "simple\n";
    const CommandResult r = Script(twice + "simple --full=false --last-hour 11\n");
    ASSERT_EQ(r.status, 0) << r.err;
    // The second line repeats the first setting; the third adds hour 11.
    EXPECT_EQ(ReadFile(tmp_.file("RIPOT")), " 10  100  20  3580 \r\n 11  100  20  882 \r\n");
    const CommandResult runs = Script(twice + "runs\n");
    ASSERT_EQ(runs.status, 0) << runs.err;
    EXPECT_NE(runs.out.find("Run=1 Kind=single Pair=EUR Interval=2020-04-02..2021-04-02 Net=3580 Trades="),
              std::string::npos)
        << runs.out;
    EXPECT_NE(runs.out.find("Run=2 Kind=single"), std::string::npos) << runs.out;
}

TEST_F(BatchSession, AFullSweepOfStepZeroRunsItsOneSetting) {
    const CommandResult r = RunBatch(
        "simple --hourly " + SamplePath("EURUSD_H1.PRN") + " --daily " + SamplePath("EURUSD_D1.PRN") +
        " --full --step 0 --first-hour 10 --last-hour 12 --start 2020-04-02 --no-beep "
        "--dir " +
        tmp_.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(KeyValues(r.out)["PassesDone"], "1");
    EXPECT_EQ(ReadFile(tmp_.file("RIPOT")), " 10  100  20  3580 \r\n");
}

TEST_F(BatchSession, AFailingCommandStopsTheScriptUnlessToldToGoOn) {
    const std::string text =
        "load --hourly SAMPLE/EURUSD_H1.PRN --daily SAMPLE/EURUSD_D1.PRN\n"
        "simple --point-value '' --cost x1 --no-beep --dir OUT\n"
        "simple --point-value 10 --cost 0.0005 --step 0 --first-hour 10 --last-hour 10 --start 2020-04-02\n";
    CommandResult r = Script(text);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "Ошибка: Поле «Стоимость пункта» в рамке «Условия»: введите число с точкой, например 10\n");
    EXPECT_EQ(Echoes(r.out).size(), 2u);
    EXPECT_EQ(ReadFile(tmp_.file("RIPOT")), "");

    r = Script(text, " --keep-going");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Echoes(r.out).size(), 3u);
    EXPECT_EQ(ReadFile(tmp_.file("RIPOT")), " 10  100  20  3580 \r\n");

    // A run on quotes of another pair, and a cell with no sweep: refused, said why.
    r = Script(
        "load --hourly SAMPLE/EURUSD_H1.PRN --daily SAMPLE/EURUSD_D1.PRN\n"
        "load --pair JPY\n"
        "simple --no-beep --dir OUT\n",
        " --keep-going");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Котировки загружены для EUR, а в рамке «Валюта» выбрана JPY"), std::string::npos)
        << r.err;
    r = Script("cell --hour 1 --tp 100 --sl 20\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kavro-batch: no sweep ran in this session\n");

    // A cell whose sweep's quotes were replaced since: refused, and nothing ran.
    const std::string hours = ReadFile(std::string(KAVRO_SAMPLE_DIR) + "/EURUSD_H1.PRN");
    tmp_.write("H1.PRN", hours.substr(0, hours.size() / 2));
    r = Script(
        "load --hourly SAMPLE/EURUSD_H1.PRN --daily SAMPLE/EURUSD_D1.PRN\n"
        "simple --no-beep --dir OUT\n"
        "load --hourly OUT/H1.PRN\n"
        "cell --hour 5 --tp 100 --sl 35\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Котировки изменились после перебора"), std::string::npos) << r.err;
}

TEST_F(BatchSession, ALineThatDoesNotParseRefusesTheWholeScript) {
    struct Case {
        std::string line, inErr;
    };
    const std::vector<Case> cases = {
        {"simple --bogus", "line 3: "},
        {"simple --start 2020-13-01", "line 3: "},
        {"frobnicate", "line 3: "},
        {"export", "line 3: "},
        {"cell --hour x --tp 1 --sl 1", "line 3: "},
        {"simple --tp 'unclosed", "line 3: a quote is not closed"},
        {"info --hourly a --daily b", "line 3: "},
    };
    for (const Case& c : cases) {
        const CommandResult r = Script(
            "load --hourly SAMPLE/EURUSD_H1.PRN --daily SAMPLE/EURUSD_D1.PRN\n"
            "simple --no-beep --dir OUT\n" +
            c.line + "\n");
        EXPECT_EQ(r.status, 2) << c.line;
        EXPECT_NE(r.err.find("kavro-batch: " + c.inErr), std::string::npos) << c.line << "\n" << r.err;
        EXPECT_EQ(r.out, "") << c.line;
        EXPECT_EQ(ReadFile(tmp_.file("RIPOT")), "") << "nothing runs before the script parses";
    }
    EXPECT_EQ(RunBatch("session " + tmp_.file("missing.txt")).status, 2);
}

TEST_F(BatchSession, AScriptOnStandardInput) {
    const std::string script =
        tmp_.write("in.txt", "load --hourly " + SamplePath("EURUSD_H1.PRN") + " --daily " +
                                 SamplePath("EURUSD_D1.PRN") + "\nruns\n");
    const CommandResult r = RunCommand(std::string(KAVRO_BATCH) + " session - < " + script);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("> load --hourly ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("> runs\n"), std::string::npos);
}

TEST_F(BatchSession, AnExportAfterItsQuotesWereReplacedSaysSoInsteadOfDrawingOthers) {
    // The first 2000 hours of the sample, loaded in place of the run's.
    const auto sample = CrLfLines(ReadFile(SamplePath("EURUSD_H1.PRN")));
    std::string shortFile;
    for (size_t i = 0; i < 2000; ++i) shortFile += sample[i] + "\r\n";
    tmp_.write("SHORT_H1.PRN", shortFile);
    const CommandResult r = Script(
        "load --hourly SAMPLE/EURUSD_H1.PRN --daily SAMPLE/EURUSD_D1.PRN\n"
        "simple --step 0 --first-hour 9 --last-hour 9 --no-beep --dir OUT\n"
        "export OUT/before --chart-trade 2\n"
        "load --hourly OUT/SHORT_H1.PRN\n"
        "export OUT/after --run 1\n"
        "export OUT/trade --run 1 --chart-trade 2\n",
        " --keep-going");
    EXPECT_EQ(r.status, 1);  // the last line
#ifdef KAVRO_BATCH_PICTURES
    EXPECT_EQ(ReadFile(tmp_.file("before/price.png")).substr(1, 3), "PNG");
    EXPECT_EQ(ReadFile(tmp_.file("before/trade-2.png")).substr(1, 3), "PNG");
    EXPECT_EQ(ReadFile(tmp_.file("after/price.png")), "");
    EXPECT_NE(r.err.find("Сообщение: Котировки запуска 1 заменены другими"), std::string::npos) << r.err;
#endif
    // The files do not need the quotes: they are written all the same.
    EXPECT_EQ(ReadFile(tmp_.file("after/trades.csv")), ReadFile(tmp_.file("before/trades.csv")));
    EXPECT_NE(r.err.find("Ошибка: Котировки запуска 1 заменены другими"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(tmp_.file("trade")));
}

}  // namespace

namespace {

TEST_F(BatchSession, TheOverfitCheckAndTheRiskOfRuinInAScript) {
    const CommandResult r = Script(
        "load --hourly SAMPLE/EURUSD_H1.PRN --daily SAMPLE/EURUSD_D1.PRN\n"
        "simple --no-beep --dir OUT --blocks 4 --balance 500\n"
        "stats --overfit\n"
        "export OUT/sweep --overfit\n"
        "cell --hour 5 --tp 100 --sl 35\n"
        "export OUT/cell --ruin-level 20\n"
        "stats --overfit\n");
    ASSERT_EQ(r.status, 0) << r.err;
    // The blocks given on the sweep's line stay set for the check two lines later.
    const size_t stats = r.out.find("> stats --overfit\n");
    ASSERT_NE(stats, std::string::npos);
    const size_t pbo = r.out.find("\nPBO=", stats);
    ASSERT_NE(pbo, std::string::npos) << r.out;
    EXPECT_LT(r.out.find("\nSQN=", stats), pbo);
    EXPECT_NE(r.out.find("\nDeflatedSharpe=", pbo), std::string::npos);
    const std::string blocks = ReadFile(tmp_.file("sweep/blocks.csv"));
    EXPECT_EQ(blocks.substr(0, blocks.find('\n')), "entry_hour,take_profit,stop_loss,result,b1,b2,b3,b4");
    EXPECT_EQ(std::count(blocks.begin(), blocks.end(), '\n'), 409);
    EXPECT_NE(ReadFile(tmp_.file("sweep/stats.json")).find("\"combinations\":6,"), std::string::npos);
    // The cell's Monte Carlo: the balance of the sweep's line, the level of the export's.
    const std::string cell = ReadFile(tmp_.file("cell/stats.json"));
    EXPECT_NE(cell.find("\"balance\":500,\"ruinLevel\":20,"), std::string::npos) << cell.substr(0, 400);
    EXPECT_NE(cell.find("\"riskOfRuin\":"), std::string::npos);
    // The cell is no sweep: said once, and the script goes on.
    EXPECT_NE(r.err.find("Сообщение: Запуск 2 — не перебор настроек"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.rfind("PBO="), pbo + 1);
}

}  // namespace

// What the import refuses, with which message, and that a refusal never leaves a file behind.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "import/bar_time.h"
#include "unit/import_fixture.h"

namespace kavro::testing {
namespace {

// Line `hour` of a valid hourly file on 2021-01-04 (a Monday) in the platform export layout.
std::string Good(int hour) {
    return "2021.01.04," + Two(hour) + ":00,1.2000,1.2010,1.1990,1.2005,1\n";
}
// Two good lines, then `line` as line 3.
std::string Third(const std::string& line) {
    return Good(0) + Good(1) + line + "\n";
}
std::string Days(int count, int stepDays, const char* prices) {
    std::string csv;
    for (int d = 0; d < count; ++d) {
        const Date date = DateFromDays(DaysFromDate(2021, 1, 4) + d * stepDays);
        csv += Four(date.year) + "." + Two(date.month) + "." + Two(date.day) + ",00:00," + prices + "\n";
    }
    return csv;
}

struct Refusal {
    const char* what;
    std::string csv, dailyCsv;
    std::string message;  // the whole message, or its start when it ends in "…"
};

TEST_F(ImportTest, RefusesEachFaultNamingTheFileAndTheLine) {
    const std::string at3 = "Файл in.csv, строка 3: ";
    std::string oddFives;
    for (int m = 0; m < 30; ++m) oddFives += "2021.01.04,10:" + Two(m) + ",1.2,1.2,1.2,1.2,1\n";
    for (int m = 31; m < 60; m += 5) oddFives += "2021.01.04,10:" + Two(m) + ",1.2,1.2,1.2,1.2,1\n";
    for (int m = 1; m < 60; m += 5) oddFives += "2021.01.04,11:" + Two(m) + ",1.2,1.2,1.2,1.2,1\n";
    std::string flatHours;
    for (int d = 0; d < 24; ++d) {
        const Date date = DateFromDays(DaysFromDate(2021, 1, 4) + d);
        for (const char* h : {"10:00", "11:00"}) {
            flatHours += IsoDate(date) + " " + h + ",1.2,1.2,1.2,1.2\n";
        }
    }
    const std::vector<Refusal> cases = {
        {"empty", "", "", "Файл in.csv пуст"},
        {"blank lines", "\n  \n\r\n\t\r\x1a", "", "Файл in.csv пуст"},
        {"header only", "Date,Time,Open,High,Low,Close\r\n\r\n", "",
         "Файл in.csv: после заголовка нет ни одной строки с котировками"},
        {"UTF-16 LE",
         std::string("\xFF\xFE"
                     "D\0a\0t\0e\0",
                     10),
         "", "Файл in.csv записан в кодировке UTF-16: сохраните его в UTF-8 и повторите импорт"},
        {"UTF-16 BE", std::string("\xFE\xFF\0D\0a", 6), "", "Файл in.csv записан в кодировке UTF-16…"},
        {"UTF-16 without a mark", std::string("2\0000\0002\0001\000.\0000\0001\000", 14), "",
         "Файл in.csv записан в кодировке UTF-16…"},
        {"text", "hello world\nmore\n", "",
         "Файл in.csv не похож на котировки CSV. Первая строка: «hello world». …"},
        {"binary",
         "\x01\x02"
         "abc,\xFF,1,2,3\n",
         "", "Файл in.csv не похож на котировки CSV. Первая строка: «??abc,?,1,2,3»…"},
        {"long first line", std::string(200, 'x'), "",
         "Файл in.csv не похож на котировки CSV. Первая строка: «" + std::string(60, 'x') + "…»…"},
        {"short first line", "Date,Time,Open,High,Low,Close\n2021.01.04\n", "",
         "Файл in.csv, строка 2: не хватает столбцов"},
        {"unknown date style", "Date,Time,Open,High,Low,Close\n4/1/21,00:00,1,1,1,1\n", "",
         "Файл in.csv, строка 2: не удаётся прочитать дату"},
        {"a whole line in one quoted field", "\"2021.01.04,00:00,1.2,1.3,1.1,1.2,1\"\n", "",
         "Файл in.csv не похож на котировки CSV. Первая строка: «\"2021.01.04,00:00,1.2,1.3,1.1,1.2,1\"». …"},
        {"header without close", "Date,Open,High,Low,Volume\n2021.01.04,1,1,1,1\n", "",
         "Файл in.csv: в заголовке «Date,Open,High,Low,Volume» нет столбцов Close. …"},
        {"too few columns", Third("2021.01.04,02:00,1.2000,1.2010"), "", at3 + "не хватает столбцов"},
        {"impossible date", Third("2021.02.30,02:00,1.2,1.2,1.2,1.2"), "", at3 + "не удаётся прочитать дату"},
        {"a quoted line", Third("\"2021.01.04,02:00,1.2,1.2,1.2,1.2\""), "",
         at3 + "не удаётся прочитать дату"},
        {"header again", Third("Date,Time,Open,High,Low,Close"), "", at3 + "не удаётся прочитать дату"},
        {"bad time", Third("2021.01.04,25:00,1.2,1.2,1.2,1.2"), "", at3 + "не удаётся прочитать время"},
        {"seconds", Third("2021.01.04,02:00:30,1.2,1.2,1.2,1.2"), "",
         at3 + "время не в целых минутах (есть секунды)"},
        {"year", Third("0999.01.04,02:00,1.2,1.2,1.2,1.2"), "", at3 + "год вне диапазона 1000–9999"},
        {"bad price", Third("2021.01.04,02:00,1.2x,1.2,1.2,1.2"), "",
         at3 + "не удаётся прочитать цену открытия"},
        {"zero price", Third("2021.01.04,02:00,1.2,1.2,1.2,0"), "", at3 + "цена закрытия не больше нуля"},
        {"negative price", Third("2021.01.04,02:00,1.2,-1.2,1.2,1.2"), "",
         at3 + "цена максимума не больше нуля"},
        {"price too large", Third("2021.01.04,02:00,1.2,123456.7,1.2,1.2"), "",
         at3 + "цена максимума не помещается в поле файла котировок (6 знаков)"},
        {"price too small", Third("2021.01.04,02:00,1.2,1.2,0.00001,1.2"), "",
         at3 + "цена минимума не помещается в поле файла котировок (6 знаков)"},
        {"high below low", Third("2021.01.04,02:00,1.2000,1.1990,1.2010,1.2000"), "",
         at3 + "максимум ниже минимума"},
        {"open outside", Third("2021.01.04,02:00,1.2020,1.2010,1.1990,1.2000"), "",
         at3 + "цена открытия вне диапазона от минимума до максимума"},
        {"close outside", Third("2021.01.04,02:00,1.2000,1.2010,1.1990,1.1980"), "",
         at3 + "цена закрытия вне диапазона от минимума до максимума"},
        {"same time", Third("2021.01.04,01:00,1.2,1.2,1.2,1.2"), "",
         at3 + "время совпадает со временем предыдущей строки"},
        {"earlier time", Third("2021.01.04,00:00,1.2,1.2,1.2,1.2"), "",
         at3 + "время раньше, чем в предыдущей строке"},
        {"daily bars", Days(3, 1, "1.2,1.3,1.1,1.2"), "",
         "Файл in.csv, строка 2: бары реже часа (шаг 1440 мин): нужны минутные или часовые котировки"},
        {"seven minutes", "2021.01.04,00:00,1.2,1.2,1.2,1.2,1\n2021.01.04,00:07,1.2,1.2,1.2,1.2,1\n", "",
         "Файл in.csv, строка 2: шаг баров 7 мин не делит час"},
        {"off the grid", "2021.01.04 00:03,1.2,1.2,1.2,1.2\n2021.01.04 00:08,1.2,1.2,1.2,1.2\n", "",
         "Файл in.csv, строка 1: время 00:03 не ложится на сетку баров по 5 мин"},
        {"spacing changes", oddFives, "", "Файл in.csv, строка 32: шаг баров меняется с 1 на 5 мин"},
        {"one hour", Good(0), "",
         "Файл in.csv: меньше двух часовых баров, такой файл котировок программа не загрузит"},
        {"flat days from hours", flatHours, "",
         "Файл in.csv: цена не меняется 24 дня подряд (по 2021-01-27): по такому дневному файлу нельзя "
         "рассчитать "
         "стохастик"},
        {"daily: two bars a day", Good(0) + Good(1), Good(0) + Good(12),
         "Файл daily.csv, строка 2: второй бар за ту же дату: файл не дневной"},
        {"daily: weekly bars", Good(0) + Good(1), Days(8, 7, "1.2,1.3,1.1,1.2"),
         "Файл daily.csv, строка 2: бары реже дня (шаг 7 дн.): нужны дневные котировки"},
        {"daily: flat days", Good(0) + Good(1), Days(30, 1, "1.2,1.2,1.2,1.2"),
         "Файл daily.csv, строка 24: цена не меняется 24 дня подряд (по 2021-01-27)…"},
        {"daily: bad line", Good(0) + Good(1), Days(2, 1, "1.2,1.3,1.1,1.4"),
         "Файл daily.csv, строка 1: цена закрытия вне диапазона от минимума до максимума"},
        {"huge line", std::string(size_t{16} << 20, '7'), "",
         "Файл in.csv, строка 1: строка длиннее 65536 символов"},
        {"long third line", Third(std::string(100000, '1')), "", at3 + "строка длиннее 65536 символов"},
    };
    for (const auto& c : cases) {
        const ImportResult r = run(c.csv, Pair::EUR, 0, c.dailyCsv);
        EXPECT_FALSE(r.ok) << c.what;
        ExpectMessage(r.message, c.message, c.what);
        expectNoOutput();
    }
}

TEST_F(ImportTest, ARefusalKeepsEarlierOutputsAndASuccessReplacesThem) {
    dir.write("out_H1.PRN", "old hours");
    dir.write("out_D1.PRN", "old days");
    EXPECT_FALSE(run(Third("2021.01.04,02:00,1.2,1.1,1.3,1.2")).ok);
    EXPECT_EQ(hourly(), "old hours");
    EXPECT_EQ(daily(), "old days");
    ASSERT_TRUE(run(Good(0) + Good(1)).ok);
    EXPECT_EQ(
        hourly(),
        "20210104 00:00  1.2000,1.2010,1.1990,1.2005,\r\n20210104 01:00  1.2000,1.2010,1.1990,1.2005,\r\n");
    EXPECT_EQ(files(), (std::set<std::string>{"in.csv", "out_H1.PRN", "out_D1.PRN"}));
}

TEST_F(ImportTest, RefusesPathsThatWouldLoseAFile) {
    const std::string csv = Good(0) + Good(1);
    dir.write("in.csv", csv);
    ImportOptions o = options();
    o.outHourly = o.csvPath;
    ImportResult r = ImportCsv(o);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message.rfind("Файлы ", 0), 0u) << r.message;
    EXPECT_EQ(dir.read("in.csv"), csv);

    o = options();
    o.outDaily = o.outHourly;
    EXPECT_FALSE(ImportCsv(o).ok);
    o = options();
    o.outDaily = dir.file("no/such/folder/D1.PRN");
    r = ImportCsv(o);
    EXPECT_EQ(r.message, "Не удалось записать файл «" + o.outDaily + "»: папка не найдена");
    o = options();
    o.csvPath = dir.file("nothere.csv");
    EXPECT_EQ(ImportCsv(o).message, "Не удаётся открыть файл nothere.csv");
    o.csvPath = dir.path();
    EXPECT_FALSE(ImportCsv(o).ok);
    expectNoOutput();
}

class CancelAfter : public ImportProgress {
  public:
    explicit CancelAfter(int calls) : calls_(calls) {}
    bool advanced(uint64_t done, uint64_t total) override {
        seen.emplace_back(done, total);
        return static_cast<int>(seen.size()) < calls_;
    }
    std::vector<std::pair<uint64_t, uint64_t>> seen;

  private:
    int calls_;
};

TEST_F(ImportTest, ProgressCountsBytesAndCancels) {
    const std::string csv = HourlyCsv(ParsePrn(FirstHours(300), true), CsvKind::MinuteArchive);
    CancelAfter never(1 << 30);
    ASSERT_TRUE(run(csv, Pair::EUR, 0, "", &never).ok);
    ASSERT_GE(never.seen.size(), 4u);  // start, every 4096 of the 15000 lines, end
    EXPECT_EQ(never.seen.front().first, 0u);
    EXPECT_EQ(never.seen.back().first, csv.size());
    for (size_t i = 1; i < never.seen.size(); ++i) {
        EXPECT_GE(never.seen[i].first, never.seen[i - 1].first);
        EXPECT_EQ(never.seen[i].second, csv.size());
    }
    for (const int calls : {1, 2, static_cast<int>(never.seen.size())}) {
        removeOutputs();
        CancelAfter cancel(calls);
        const ImportResult r = run(csv, Pair::EUR, 0, "", &cancel);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message, "Импорт прерван");
        expectNoOutput();
    }
}

// Random bytes, CSV-like noise and a valid file cut anywhere: a message or a whole import, never half of one.
TEST_F(ImportTest, ArbitraryBytesEndInAMessageOrACompleteImport) {
    std::mt19937 rng(12345);
    const std::string valid = HourlyCsv(ParsePrn(FirstHours(3), true), CsvKind::MinuteArchive);
    const std::string alphabet = "0123456789.,;: \t\r\n-T";
    std::vector<std::string> inputs;
    for (int i = 0; i < 150; ++i) {
        std::string s(rng() % 300, '\0');
        for (char& c : s) c = i % 2 ? static_cast<char>(rng()) : alphabet[rng() % alphabet.size()];
        inputs.push_back(s);
    }
    for (size_t cut = 0; cut < valid.size(); cut += 1 + rng() % 97) inputs.push_back(valid.substr(0, cut));
    for (const auto& s : inputs) {
        const ImportResult r = run(s);
        if (r.ok) {
            EXPECT_FALSE(hourly().empty());
            EXPECT_FALSE(daily().empty());
            removeOutputs();
        } else {
            EXPECT_NE(r.message.find("in.csv"), std::string::npos) << r.message;
        }
        expectNoOutput();
    }
}

}  // namespace
}  // namespace kavro::testing

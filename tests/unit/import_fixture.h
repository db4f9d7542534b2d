#pragma once
// Shared plumbing of the import tests: a scratch folder, an import of CSV text into it, what it left there,
// and the bundled sample's lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "import/csv_import.h"
#include "quotes/quote_store.h"
#include "support/csv_samples.h"
#include "support/test_support.h"

namespace kavro::testing {

// The bundled sample's lines, read once.
inline const std::vector<std::string>& SampleHours() {
    static const std::vector<std::string> lines = ReadPrnLines(SamplePath("EURUSD_H1.PRN"));
    return lines;
}
inline const std::vector<std::string>& SampleDays() {
    static const std::vector<std::string> lines = ReadPrnLines(SamplePath("EURUSD_D1.PRN"));
    return lines;
}
inline std::vector<std::string> FirstHours(size_t n) {
    return {SampleHours().begin(), SampleHours().begin() + static_cast<std::ptrdiff_t>(n)};
}

// `got` is the message `want`, or starts with it when `want` ends in "…".
inline void ExpectMessage(const std::string& got, const std::string& want, const char* what) {
    const std::string ellipsis = "…";
    if (want.size() > ellipsis.size() &&
        want.compare(want.size() - ellipsis.size(), ellipsis.size(), ellipsis) == 0) {
        const std::string start = want.substr(0, want.size() - ellipsis.size());
        EXPECT_EQ(got.substr(0, start.size()), start) << what;
    } else {
        EXPECT_EQ(got, want) << what;
    }
}

class IgnoreLoadProgress : public LoadProgress {
  public:
    void started(int) override {}
    void lineStored(int) override {}
};

class ImportTest : public ::testing::Test {
  protected:
    TempDir dir{"kavro_import"};

    ImportOptions options(Pair pair = Pair::EUR, int shiftHours = 0) const {
        ImportOptions o;
        o.csvPath = dir.file("in.csv");
        o.pair = pair;
        o.shiftHours = shiftHours;
        o.outHourly = dir.file("out_H1.PRN");
        o.outDaily = dir.file("out_D1.PRN");
        return o;
    }
    // Writes `csv` as in.csv (and `dailyCsv` as daily.csv unless empty) and imports them.
    ImportResult run(const std::string& csv, Pair pair = Pair::EUR, int shiftHours = 0,
                     const std::string& dailyCsv = "", ImportProgress* progress = nullptr) const {
        ImportOptions o = options(pair, shiftHours);
        dir.write("in.csv", csv);
        if (!dailyCsv.empty()) o.dailyCsvPath = dir.write("daily.csv", dailyCsv);
        return ImportCsv(o, progress);
    }
    // The same with the order of day and month given.
    ImportResult runOrdered(const std::string& csv, DateOrder order, const std::string& dailyCsv = "",
                            ImportProgress* progress = nullptr) const {
        ImportOptions o = options();
        o.dateOrder = order;
        dir.write("in.csv", csv);
        if (!dailyCsv.empty()) o.dailyCsvPath = dir.write("daily.csv", dailyCsv);
        return ImportCsv(o, progress);
    }
    std::string hourly() const { return dir.read("out_H1.PRN"); }
    std::string daily() const { return dir.read("out_D1.PRN"); }
    // Every name in the folder, hidden temporary files included.
    std::set<std::string> files() const {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            names.insert(e.path().filename());
        return names;
    }
    void removeOutputs() const {
        std::filesystem::remove(dir.file("out_H1.PRN"));
        std::filesystem::remove(dir.file("out_D1.PRN"));
    }
    // A refused import left nothing but its inputs.
    void expectNoOutput() const {
        for (const auto& name : files()) EXPECT_TRUE(name == "in.csv" || name == "daily.csv") << name;
    }
};

}  // namespace kavro::testing

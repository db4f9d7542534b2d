// Writes the fuzz targets' seed corpora from the bundled sample: small slices of its quote files and of the
// sample in every CSV layout the import reads.
// Usage: fuzz_seeds DATA_DIR OUT_DIR (makes OUT_DIR/import_fuzz, hourly_load_fuzz and daily_load_fuzz).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/csv_samples.h"

namespace {

using namespace kavro::testing;

void Write(const std::filesystem::path& dir, const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary) << bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: fuzz_seeds DATA_DIR OUT_DIR\n");
        return 2;
    }
    const std::string data = argv[1];
    const std::filesystem::path out = argv[2];
    const auto hours = ReadPrnLines(data + "/EURUSD_H1.PRN", 200);
    const auto days = ReadPrnLines(data + "/EURUSD_D1.PRN", 40);
    if (hours.size() < 200 || days.size() < 40) {
        std::fprintf(stderr, "fuzz_seeds: cannot read the sample in %s\n", data.c_str());
        return 1;
    }
    // Quote files: a few lines, a day's worth, and the daily file past the 24 days its figures need.
    Write(out / "hourly_load_fuzz", "three.PRN", JoinCrLf({hours.begin(), hours.begin() + 3}));
    Write(out / "hourly_load_fuzz", "day.PRN", JoinCrLf({hours.begin() + 10, hours.begin() + 34}));
    Write(out / "hourly_load_fuzz", "jpy.PRN",
          "20210104 00:00  103.1230,103.2000,102.9995,103.0000,\r\n"
          "20210104 01:00  103.0000,103.0500,102.9000,102.9500,\r\n");
    Write(out / "daily_load_fuzz", "three.PRN", JoinCrLf({days.begin(), days.begin() + 3}));
    Write(out / "daily_load_fuzz", "forty.PRN", JoinCrLf(days));

    const auto bars = ParsePrn(hours, true);
    const std::vector<PrnBar> one(bars.begin(), bars.begin() + 1), few(bars.begin(), bars.begin() + 6);
    const CsvKind kinds[] = {CsvKind::PlatformExport,    CsvKind::PlatformExportBlank,
                             CsvKind::PlatformExportTab, CsvKind::MinuteArchive,
                             CsvKind::GmtTimeHeader,     CsvKind::NamedIsoSemicolon,
                             CsvKind::NamedUnixSeconds,  CsvKind::NamedDayFirstTab,
                             CsvKind::PandasOffsets,     CsvKind::LocalTimeGmt8,
                             CsvKind::MonthFirstSlash,   CsvKind::UnixMillisIndexed,
                             CsvKind::UnixMicros,        CsvKind::DtColumn};
    int n = 0;
    for (const CsvKind kind : kinds) {
        // Minute layouts write many lines an hour: one hour of them is seed enough.
        const bool minutes = kind == CsvKind::MinuteArchive || kind == CsvKind::GmtTimeHeader ||
                             kind == CsvKind::LocalTimeGmt8 || kind == CsvKind::MonthFirstSlash;
        Write(out / "import_fuzz", "hourly" + std::to_string(n++) + ".csv",
              HourlyCsv(minutes ? one : few, kind));
    }
    // A change of summer time inside the file, and an adjusted close standing for the close.
    Write(out / "import_fuzz", "summer.csv",
          "Datetime,Open,High,Low,Close\n2023-03-27 00:30:00+00:00,1.2005,1.2020,1.2000,1.2015\n"
          "2023-03-27 02:00:00+01:00,1.2015,1.2030,1.2010,1.2025\n");
    Write(out / "import_fuzz", "adjusted.csv",
          "Date,Open,High,Low,Adj Close,Volume\n2021-01-04 00:00,1.2,1.3,1.1,1.25,0\n"
          "2021-01-04 01:00,1.2,1.3,1.1,1.15,0\n");
    const auto dailyBars = ParsePrn(days, false);
    for (const DailyCsvKind kind :
         {DailyCsvKind::PlatformExport, DailyCsvKind::PlatformExportTab, DailyCsvKind::NamedIso}) {
        Write(out / "import_fuzz", "daily" + std::to_string(n++) + ".csv", DailyCsv(dailyBars, kind));
    }
    return 0;
}

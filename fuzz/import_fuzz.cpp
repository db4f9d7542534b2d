// The CSV import on arbitrary bytes: as the CSV, and as the daily CSV beside a valid one. Besides the
// sanitizers' checks it insists that an import leaves exactly its two outputs or nothing, and that what it
// writes the program's loaders read.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/fuzz_file.h"
#include "import/csv_import.h"
#include "quotes/quote_store.h"

namespace {

using namespace kavro;

class Quiet : public LoadProgress {
  public:
    void started(int) override {}
    void lineStored(int) override {}
};

struct Setup {
    fuzz::MemoryFile csv{"csv"};
    std::string dir = fuzz::ScratchFolder();
    std::string hourlyCsv = dir + "/hourly.csv";
    Setup() {
        std::ofstream(hourlyCsv, std::ios::binary) << "2021.01.04,00:00,1.2,1.3,1.1,1.2,1\n"
                                                      "2021.01.04,01:00,1.2,1.3,1.1,1.2,1\n";
    }
    ~Setup() { std::filesystem::remove_all(dir); }
};

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "import_fuzz: %s\n", what);
        std::abort();
    }
}

void ImportOnce(Setup& s, ImportOptions o) {
    o.outHourly = s.dir + "/out_H1.PRN";
    o.outDaily = s.dir + "/out_D1.PRN";
    const ImportResult r = ImportCsv(o);
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(s.dir)) files += e.path() != s.hourlyCsv;
    Check(r.ok == r.message.empty(), "ok and a message disagree");
    Check(files == (r.ok ? 2 : 0),
          r.ok ? "an import left other than its two files" : "a refusal left a file");
    if (!r.ok) return;
    // One store for every run, emptied by copying: a fresh one costs more than the import.
    static const QuoteStore pristine;
    static QuoteStore store;
    store = pristine;
    Quiet quiet;
    const LoadResult h = LoadHourlyQuotes(store, o.outHourly, o.pair, quiet);
    Check(h.status == LoadResult::Status::Ok && h.barsStored == r.report.hourlyBarsOut,
          "hourly output not loadable");
    const LoadResult d = LoadDailyQuotes(store, o.outDaily, o.pair, quiet);
    Check(d.status == LoadResult::Status::Ok && d.barsStored == r.report.dailyBarsOut,
          "daily output not loadable");
    std::filesystem::remove(o.outHourly);
    std::filesystem::remove(o.outDaily);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup s;
    s.csv.set(data, size);
    ImportOptions o;
    o.csvPath = s.csv.path();
    // The last byte picks the pair, the shift and the date order, so both field widths, both shift directions
    // and every order are reached.
    const uint8_t pick = size > 0 ? data[size - 1] : 0;
    o.pair = pick & 1 ? Pair::JPY : Pair::EUR;
    o.shiftHours = (pick >> 1) % 7 - 3;
    o.dateOrder = static_cast<DateOrder>((pick >> 4) % 3);
    ImportOnce(s, o);
    o.csvPath = s.hourlyCsv;
    o.dailyCsvPath = s.csv.path();
    ImportOnce(s, o);
    return 0;
}

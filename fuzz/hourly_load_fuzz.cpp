// The hourly quote loader on arbitrary bytes, each time into an empty store; the input's last byte picks
// the column layout (EUR or JPY). A store is megabytes: it is made once and copied back from a pristine one
// only after a load that succeeded, since a failed load leaves the store as it was.
#include <cstdint>

#include "fuzz/fuzz_file.h"
#include "quotes/quote_store.h"

namespace {

class Quiet : public kavro::LoadProgress {
  public:
    void started(int) override {}
    void lineStored(int) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kavro::fuzz::MemoryFile file("hourly");
    file.set(data, size);
    Quiet quiet;
    static const kavro::QuoteStore pristine;
    static kavro::QuoteStore store;
    const kavro::Pair pair = size > 0 && data[size - 1] & 1 ? kavro::Pair::JPY : kavro::Pair::EUR;
    if (LoadHourlyQuotes(store, file.path(), pair, quiet).status == kavro::LoadResult::Status::Ok)
        store = pristine;
    return 0;
}

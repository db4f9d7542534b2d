// The hourly quote loader on arbitrary bytes, each time into an empty store.
#include <cstdint>

#include "fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kavro::fuzz::MemoryFile file("hourly");
    kavro::fuzz::FuzzQuoteLoader(file, kavro::LoadHourlyQuotes, data, size);
    return 0;
}

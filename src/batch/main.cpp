#include <csignal>
#include <iostream>

#include "batch/batch_runner.h"
#ifdef KAVRO_BATCH_PICTURES
#include "batch/batch_pictures.h"
#endif

int main(int argc, char** argv) {
    // A file size limit makes a write fail with an error the reports handle, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
#ifdef KAVRO_BATCH_PICTURES
    // A study paints its rows on several threads: their application is made here, on the main thread.
    const auto application = !args.empty() && args[0] == "study" ? kavro::KeepPictureApplication() : nullptr;
    return kavro::RunBatch(args, std::cout, std::cerr, kavro::WriteBatchPictures);
#else
    return kavro::RunBatch(args, std::cout, std::cerr);
#endif
}

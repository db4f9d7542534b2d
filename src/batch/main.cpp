#include <csignal>
#include <iostream>

#include "batch/batch_runner.h"

int main(int argc, char** argv) {
    // A file size limit makes a write fail with an error the reports handle, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    return kavro::RunBatch(args, std::cout, std::cerr);
}

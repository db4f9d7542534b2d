#include <iostream>

#include "batch/batch_runner.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return kavro::RunBatch(args, std::cout, std::cerr);
}

// kolvane-rip: the rip engine for scripts and pipelines.
#include <cerrno>
#include <cstring>
#include <exception>
#include <iostream>
#include <variant>

#include "guess.h"
#include "options.h"
#include "run.h"

int main(int argc, char** argv) {
    // First of all, so that no file opened later can become standard output.
    kolvane::cli::openStandardDescriptors();
    auto parsed = kolvane::cli::parseCommandLine(argc, argv);
    if (auto* exit = std::get_if<kolvane::cli::Exit>(&parsed)) {
        (exit->code == 0 ? std::cout : std::cerr) << exit->text;
        return exit->code;
    }
    const auto& options = std::get<kolvane::cli::Options>(parsed);
    if (options.guess) return kolvane::cli::runGuess(options.sources.front(), std::cout, std::cerr);
    kolvane::cli::catchSignals();
    kolvane::FileOpener files(kolvane::cli::stopAsked);
    try {
        return kolvane::cli::run(options, std::cerr, files);
    } catch (const std::exception&) {
        // Memory or threads the system would not give, past every place that
        // falls back on its own: a message and status 1, never an abort.
        std::cerr << "kolvane-rip: Cannot rip: " << std::strerror(ENOMEM) << '\n';
        return 1;
    }
}

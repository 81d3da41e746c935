// borne-scenario: replays written scenarios against the terminal's controller, headless and in virtual
// time; one script, a suite of scenario folders, a lab's grades, or a search. Everything but the standard
// streams lives in the program's library (tools/cli/Run.h).
#include "journal/FichierJournal.h"
#include "tools/cli/Run.h"
#include "tools/scenario/Suite.h"

#include <csignal>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    borne::FichierJournal::ignorerSignaux();
    // The trace can run to millions of lines: let std::cout buffer instead of syncing with stdio.
    std::ios::sync_with_stdio(false);
    std::cin.tie(nullptr);
    // A file-size limit makes a write fail, which every writer here says, rather than end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        const std::vector<std::string> arguments(argv, argv + argc);
        const int result = borne::cli::run(arguments, std::cin, std::cout, std::cerr);
        // A suite stopped by a signal has cleaned up after itself; it now ends as the signal asked.
        if (const int signal = borne::scenario::suiteInterruption(); signal != 0) {
            std::cerr.flush();
            std::signal(signal, SIG_DFL);
            std::raise(signal);
        }
        return result;
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "borne-scenario: " << e.what() << '\n';
        return 2;
    }
}

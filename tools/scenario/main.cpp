// borne-scenario: replays written scenarios against the terminal's controller, headless and in virtual
// time; one script, or a suite of scenario folders. Everything but the standard streams lives in the
// scenario library.
#include "journal/FichierJournal.h"
#include "scenario/Program.h"
#include "search/Commands.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    borne::FichierJournal::ignorerSignaux();
    // The trace can run to millions of lines: let std::cout buffer instead of syncing with stdio.
    std::ios::sync_with_stdio(false);
    std::cin.tie(nullptr);
    try {
        const std::vector<std::string> arguments(argv, argv + argc);
        // The search's commands first (--reach, --generate, --check RULES --explore); everything else
        // is a script or a suite.
        bool search = false;
        const int status = borne::search::searchMain(arguments, std::cout, std::cerr, search);
        if (search) return status;
        return borne::scenario::runProgram(arguments, std::cin, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "borne-scenario: " << e.what() << '\n';
        return 2;
    }
}

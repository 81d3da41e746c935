// borne-log: shows the journal Log.txt as text that grep, diff and spreadsheets take.
#include "tools/log/JournalView.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // A journal can run to gigabytes: let std::cout buffer instead of syncing with stdio.
    std::ios::sync_with_stdio(false);
    try {
        return borne::journalview::run(std::vector<std::string>(argv, argv + argc), std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "borne-log: " << e.what() << '\n';
        return 2;
    }
}

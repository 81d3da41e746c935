// The scenario runner's script parser on any bytes: it must turn every input into commands or errors,
// each error on a line of the script, never crash, and give each command a line of the script too; and
// every command printed back must parse to the same command.
#include "tools/grammar/Grammar.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t taille) {
    const std::string_view texte(reinterpret_cast<const char*>(data), taille);
    namespace sc = borne::scenario;
    const auto script = sc::parse(texte);
    // A line number never lies beyond the script's last line.
    const std::size_t lignes = static_cast<std::size_t>(std::count(texte.begin(), texte.end(), '\n')) + 1;
    if (script.errors.size() > sc::kMaxErrorsKept || script.errorCount < script.errors.size()) std::abort();
    for (const auto& e : script.errors)
        if (e.line < 1 || e.line > lignes || e.message.empty()) std::abort();
    for (const auto& c : script.commands) {
        if (c.line < 1 || c.line > lignes) std::abort();
        if ((c.verb == sc::Verb::Turn || c.verb == sc::Verb::Wait || c.verb == sc::Verb::Until ||
             c.verb == sc::Verb::UntilState) &&
            (c.count < 1 || c.count > sc::kMaxCount))
            std::abort();
        const auto ligne = sc::print(c);
        if (!ligne) { // only a text ending with a CR (on the script's last line) cannot be printed back
            if (c.text.empty() || c.text.back() != '\r') std::abort();
            continue;
        }
        const auto relu = sc::parse(*ligne);
        if (relu.errorCount != 0 || relu.commands.size() != 1) std::abort();
        auto attendu = c;
        attendu.line = 1;
        if (!(relu.commands[0] == attendu)) std::abort();
    }
    return 0;
}

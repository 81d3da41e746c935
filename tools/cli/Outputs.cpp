#include "tools/cli/Outputs.h"

#include "tools/files/Files.h"

#include <sys/stat.h>

#include <vector>

namespace borne::cli {

namespace {

struct Place {
    std::string said; // as the message names it: "--turns t.tsv", "the script s.scn"
    std::string written;
};

// A device takes any number of writers: nothing in it is lost that the user meant to keep.
bool isDevice(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode));
}

bool inside(const std::string& path, const std::string& folder) {
    return !folder.empty() && path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (path[folder.size()] == '/' || folder == "/");
}

} // namespace

std::string collidingOutputs(const CommandLine& c) {
    const unsigned command = c.search() ? kSearch : commandOf(c);
    std::vector<Place> outputs, inputs, folders;
    auto place = [](std::string said, const std::string& name) {
        return Place{std::move(said), files::writtenPath(name)};
    };
    for (const Option& o : optionTable())
        if (o.value != nullptr && ((o.file | o.folder) & command) != 0 && given(c, o))
            outputs.push_back(place(std::string(o.name) + " " + *(c.*(o.value)), *(c.*(o.value))));
    if (command == kSearch && !c.save.empty()) outputs.push_back(place("--save " + c.save, c.save));

    if (command == kScript) {
        // A script's run reads the settings where it runs and appends to the journal there.
        if (!c.operands.empty() && c.operands.front() != "-")
            inputs.push_back(place("the script " + c.operands.front(), c.operands.front()));
        inputs.push_back(place("the settings Config.cfg", "Config.cfg"));
        inputs.push_back(place("the settings CHIP.INI", "CHIP.INI"));
        inputs.push_back(place("the journal Log.txt", "Log.txt"));
    }
    if (c.rules && !c.rules->empty()) inputs.push_back(place("the rules " + *c.rules, *c.rules));
    if (c.controller) inputs.push_back(place("the controller " + *c.controller, *c.controller));
    if (c.controllers)
        for (const std::string& f : *c.controllers)
            inputs.push_back(place("the controller " + f, f));
    if (command == kGrade && c.operands.size() == 2) {
        folders.push_back(place("the lab " + c.operands[0], c.operands[0]));
        folders.push_back(place("the submissions " + c.operands[1], c.operands[1]));
    }

    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const Place& o = outputs[i];
        if (o.written.empty() || isDevice(o.written)) continue;
        auto over = [&](const Place& other) {
            return o.said + " would write over " + other.said + ": nothing written";
        };
        for (std::size_t j = 0; j < i; ++j)
            if (outputs[j].written == o.written) return over(outputs[j]);
        for (const Place& in : inputs)
            if (in.written == o.written) return over(in);
        for (const Place& f : folders)
            if (f.written == o.written || inside(o.written, f.written))
                return o.said + " would write in " + f.said + ": nothing written";
    }
    return {};
}

} // namespace borne::cli

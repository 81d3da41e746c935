#include "tools/files/TurnLogFormat.h"

namespace borne::files {

void appendTurnLogText(std::string& to, std::string_view text) {
    for (char c : text) {
        switch (c) {
        case '\\': to += "\\\\"; break;
        case '\t': to += "\\t"; break;
        case '\n': to += "\\n"; break;
        case '\r': to += "\\r"; break;
        case ' ': to += "\\s"; break;
        default: to += c;
        }
    }
}

std::string turnLogLine(const TurnLogLine& t) {
    std::string l = std::to_string(t.number);
    l += '\t';
    l += std::to_string(t.start);
    l += '\t';
    l += t.startState;
    l += '\t';
    if (t.events != nullptr)
        for (std::size_t i = 0; i < t.events->size(); ++i) {
            if (i > 0) l += ' ';
            appendTurnLogText(l, (*t.events)[i]);
        }
    l += '\t';
    l += t.endState;
    l += '\t';
    if (t.rows != nullptr)
        for (std::size_t i = 0; i < t.rows->size(); ++i) {
            if (i > 0) l += ' ';
            l += std::to_string((*t.rows)[i].first) + '.' + std::to_string((*t.rows)[i].second);
        }
    l += '\t';
    l += t.status;
    return l;
}

std::vector<std::string> turnLogEvents(std::string_view field) {
    std::vector<std::string> events;
    if (field.empty()) return events;
    events.emplace_back();
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == ' ') {
            events.emplace_back();
        } else if (c == '\\' && i + 1 < field.size()) {
            const char e = field[++i];
            events.back() += e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e == 's' ? ' ' : e;
        } else {
            events.back() += c;
        }
    }
    return events;
}

} // namespace borne::files

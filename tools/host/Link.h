// borne-host's side of the channel: the terminal's classes it gives a plug-in each forward their calls
// as the protocol's requests. Writes are kept until a read needs its answer, so a turn costs as many round
// trips as its reads and waits.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace borne::host {

// A new object of the bench's, for the plug-in's object at `self`: its number.
int created(const void* self);
int numberOf(const void* self);
void destroyed(const void* self);

// A wait: sent, and the turn goes on (its `resume` is read with the next answer, a `stop` ends there).
void waited(int ms);
// A request without an answer.
void send(const std::string& line);
// A request that waits for its answer ("=" and the result's fields, escapes undone), which it returns.
std::vector<std::string> ask(const std::string& line);

// A text of the terminal (Windows-1252) as a field, and back.
std::string field(const char* cp1252);
std::string field(std::string_view cp1252);
std::string terminal(const std::string& text);
int integer(const std::string& field);

} // namespace borne::host

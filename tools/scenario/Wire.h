// The wire between the suite's workers and its runner: a worker sends each outcome as one record and the
// texts it counts, cut to a report's size; the runner reads it back whole or not at all.
#pragma once

#include "tools/scenario/Folder.h"

#include <cstddef>
#include <cstdint>

namespace borne::scenario {

// Reads exactly `size` bytes (through interruptions); false at the end of the pipe or on an error.
bool readAll(int fd, void* data, std::size_t size);
// One outcome, written whole; false when the pipe is gone.
bool sendOutcome(int fd, std::uint32_t index, const ScenarioOutcome& o);
// One outcome as sendOutcome wrote it; false on a short, cut or oversized record.
bool receiveOutcome(int fd, std::uint32_t& index, ScenarioOutcome& o);

} // namespace borne::scenario

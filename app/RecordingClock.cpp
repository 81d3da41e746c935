#include "app/RecordingClock.h"

namespace borne::recording {

std::int64_t virtualInstant(const ClockState& s, std::chrono::nanoseconds elapsed, int divisor) {
    if (!s.inWait || s.length <= 0) return s.completed;
    const std::int64_t lengthNs = std::int64_t{s.length} * 1'000'000;
    const std::int64_t ns = elapsed.count() < 0 ? 0 : elapsed.count();
    // Capped before multiplying: a wait held far past its end cannot overflow.
    std::int64_t virtualNs = ns >= lengthNs ? lengthNs : ns * (divisor < 1 ? 1 : divisor);
    if (virtualNs > lengthNs) virtualNs = lengthNs;
    std::int64_t ms = (virtualNs + 999'999) / 1'000'000;
    if (ms < 1) ms = 1;
    return s.completed + ms;
}

RecordingClock::RecordingClock(int divisor)
    : divisor_(divisor < 1 ? 1 : divisor), startupThread_(std::this_thread::get_id()) {}

void RecordingClock::attendre(int ms) {
    if (ms < 0) ms = 0;
    if (std::this_thread::get_id() == startupThread_) return HorlogeReelle::attendre(ms / divisor_);
    if (arretee()) {
        // Stopped between two waits: at the last wait's end, before the logic that followed it.
        const VerrouPris lock(mutex_);
        stoppedAt_ = state_.completed;
        throw ArretDemande{};
    }
    {
        const VerrouPris lock(mutex_);
        state_.inWait = true;
        state_.length = ms;
        waitStart_ = ecoule();
    }
    try {
        realWait(ms);
    } catch (const ArretDemande&) {
        const VerrouPris lock(mutex_);
        stoppedAt_ = virtualInstant(state_, ecoule() - waitStart_, divisor_);
        throw;
    }
    const VerrouPris lock(mutex_);
    state_.completed += ms;
    state_.inWait = false;
}

void RecordingClock::realWait(int ms) {
    HorlogeCadencee::attendre(ms / divisor_);
}

std::int64_t RecordingClock::instant() const {
    ClockState s;
    std::chrono::nanoseconds start;
    {
        const VerrouPris lock(mutex_);
        s = state_;
        start = waitStart_;
    }
    return virtualInstant(s, ecoule() - start, divisor_);
}

std::int64_t RecordingClock::stopInstant() const {
    {
        const VerrouPris lock(mutex_);
        if (stoppedAt_ >= 0) return stoppedAt_;
    }
    return instant(); // the worker ended some other way: where it was
}

ClockState RecordingClock::state() const {
    const VerrouPris lock(mutex_);
    return state_;
}

} // namespace borne::recording

// Thread rules the compiler checks: a mutex and a scoped lock that Clang's thread-safety analysis
// (-Wthread-safety) understands, and the annotations that tie data to the mutex guarding it. Other
// compilers see plain code.
#pragma once

#include <mutex>

#if defined(__clang__)
#define BORNE_ANALYSE_FILS(x) __attribute__((x))
#else
#define BORNE_ANALYSE_FILS(x)
#endif

// A type that can be held (a mutex).
#define CAPABILITY(nom) BORNE_ANALYSE_FILS(capability(nom))
// An object that holds a capability for its lifetime.
#define SCOPED_CAPABILITY BORNE_ANALYSE_FILS(scoped_lockable)
// Data read or written only with the mutex held.
#define GUARDED_BY(m) BORNE_ANALYSE_FILS(guarded_by(m))
// Data reached through a pointer only with the mutex held.
#define PT_GUARDED_BY(m) BORNE_ANALYSE_FILS(pt_guarded_by(m))
// A function called with the mutex held / not held.
#define REQUIRES(...) BORNE_ANALYSE_FILS(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) BORNE_ANALYSE_FILS(locks_excluded(__VA_ARGS__))
// A function that takes / gives back the mutex.
#define ACQUIRE(...) BORNE_ANALYSE_FILS(acquire_capability(__VA_ARGS__))
#define RELEASE(...) BORNE_ANALYSE_FILS(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) BORNE_ANALYSE_FILS(try_acquire_capability(__VA_ARGS__))
// A function whose locking the analysis cannot follow; say why wherever it is used.
#define NO_THREAD_SAFETY_ANALYSIS BORNE_ANALYSE_FILS(no_thread_safety_analysis)

namespace borne {

// A mutex. Its lower-case operations make it usable with std::condition_variable_any.
class CAPABILITY("mutex") Verrou {
public:
    Verrou() = default;
    Verrou(const Verrou&) = delete;
    Verrou& operator=(const Verrou&) = delete;

    void lock() ACQUIRE() { m_.lock(); }
    void unlock() RELEASE() { m_.unlock(); }
    bool try_lock() TRY_ACQUIRE(true) { return m_.try_lock(); }

private:
    std::mutex m_;
};

// Holds a Verrou from its construction to the end of its scope.
class SCOPED_CAPABILITY VerrouPris {
public:
    explicit VerrouPris(Verrou& v) ACQUIRE(v) : v_(v) { v_.lock(); }
    ~VerrouPris() RELEASE() { v_.unlock(); }
    VerrouPris(const VerrouPris&) = delete;
    VerrouPris& operator=(const VerrouPris&) = delete;

private:
    Verrou& v_;
};

} // namespace borne

// The journal's file sink: every access to the journal's file goes through here, and so does the stop,
// so that the journal itself knows nothing of how the terminal is stopped.
#pragma once

#include <cstddef>
#include <string_view>
#include <sys/types.h>

namespace borne {

class FichierJournal {
public:
    // Opens `nom` for appending (creating it), appends `ligne` and closes it; true only when the whole
    // line reached the file. A line that cannot go in whole (a nearly full disk, a file-size limit)
    // leaves nothing of itself behind, and no signal of the file system (a broken pipe, the size limit)
    // ends the process: both are failed writes, given ignorerSignaux(). An empty line only opens and
    // closes, so a missing journal is still created. Never waits for a pipe (no reader, or a full one:
    // the line is lost). Once stopped, returns false without opening anything. No system call beyond
    // the open, the write and the close, except to take back a line that could not go in whole.
    static bool ajouter(const char* nom, std::string_view ligne);

    // Why the first call since oublierEchec() (or the start) did not reach the file, as an errno value,
    // or 0 when every one did: what the programs around the terminal tell their users, since the terminal
    // itself goes on without a word. A call refused after the stop is no failure. For the whole process.
    static int premierEchec() noexcept;
    static void oublierEchec() noexcept;

    // SIGPIPE (a pipe whose reader has gone) and SIGXFSZ (a file-size limit) would end the process from
    // inside a write: every program that journals ignores both, once, at the start of main() and before
    // its threads. A signal the program already handles its own way is left to it. Should a program
    // forget, its first line does it, so the journal never dies of its file.
    static void ignorerSignaux() noexcept;

    // The stop, from any thread; returns at once, without waiting for anything. No call begins after
    // it. A call under way (held up, perhaps, by a disk that has stopped answering) ends in its own
    // time: its line whole if its write had begun, else absent. True when a call was under way.
    static bool arreter() noexcept;
    // A call is under way. Once stopped, this can only go from true to false.
    static bool occupe() noexcept;
    // Back in service, for tests and runs that start afresh.
    static void reprendre() noexcept;

    // The system calls that a disk can hold up, replaceable by tests to hold them up at will.
    struct Appels {
        int (*ouvrir)(const char* nom, int drapeaux, mode_t droits);
        ssize_t (*ecrire)(int fd, const void* octets, std::size_t n);
    };
    static Appels appelsSysteme() noexcept;
    // Sets both calls; the previous ones are returned so they can be put back.
    static Appels remplacerAppels(const Appels& a) noexcept;
};

} // namespace borne

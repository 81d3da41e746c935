// The journal's file when the disk lets it down: a line is whole or absent whatever the disk does
// (nearly full, a file-size limit, a pipe whose reader goes away), and no signal from the file system
// ends the terminal; a disk that stops answering never holds up the stop. Each run of the journal that could
// be killed or that changes a process-wide limit runs in a child process, which stands for one run of the
// terminal.
#include "Outils.h"

#include "journal/FichierJournal.h"
#include "journal/tDebug.h"
#include "support/Sandbox.h"
#include "support/StalledDisk.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace borne;
using namespace std::string_literals;

namespace {

constexpr int kImpossibleHere = 77; // the child could not set up its disk

// Runs `body` in a child process: its exit status, or 128 + the signal that ended it.
int inChild(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) std::_Exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string describe(int status) {
    return status > 128
               ? "killed by signal " + std::to_string(status - 128) + " (" + strsignal(status - 128) + ")"
               : "status " + std::to_string(status);
}

std::string line(const char* state, const char* event) {
    return "EtatCourant = \0"s + state + ";      Evenement = \0"s + event + ";\n";
}

// One turn of a fresh journal (a new run of the terminal): its first Ecrire.
bool firstLine(unsigned state, unsigned event) {
    tDebug journal("Log.txt");
    journal.NoterEvenement(event);
    journal.NoterEtat(state);
    return journal.Ecrire();
}

int complain(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    return 1;
}

// ------------------------------------------------------------------------- a line whole or absent

enum class Disk { SizeLimitWithRoomFor40Bytes, SizeLimitReached, TmpfsFortyBytesShort };

struct DiskCase {
    const char* name;
    Disk disk;
    bool needsRoot;
};

const DiskCase kDisks[] = {
    // `ulimit -f`: the first 40 bytes of the 87-byte line fit, then the write fails with SIGXFSZ.
    {"SizeLimitWithRoomFor40Bytes", Disk::SizeLimitWithRoomFor40Bytes, false},
    {"SizeLimitReached", Disk::SizeLimitReached, false},
    // A small tmpfs filled up to 40 bytes short: the kernel writes 40 bytes and says the disk is full.
    {"TmpfsFortyBytesShort", Disk::TmpfsFortyBytesShort, true},
};

// In the child: a journal with earlier content on a disk that has less room than the next line, then
// room again for the next run.
int wholeOrAbsent(Disk disk) {
    std::string earlier = "an earlier line\n";
    if (disk == Disk::TmpfsFortyBytesShort) {
        // Two pages: the journal's, 40 bytes short of full, and a filler's.
        std::filesystem::create_directory("disk");
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("borne-test", "disk", "tmpfs", 0, "size=8k") != 0 || ::chdir("disk") != 0) {
            std::fprintf(stderr, "cannot mount a tmpfs: %s\n", std::strerror(errno));
            return kImpossibleHere;
        }
        earlier = std::string(4096 - 40 - 1, 'x') + "\n";
        std::ofstream("filler", std::ios::binary) << std::string(4096, 'f');
    }
    std::ofstream("Log.txt", std::ios::binary) << earlier;
    if (disk != Disk::TmpfsFortyBytesShort) {
        const rlim_t room = disk == Disk::SizeLimitWithRoomFor40Bytes ? 40 : 0;
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = earlier.size() + room;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return kImpossibleHere;
    }

    if (firstLine(1, 1)) return complain("Ecrire says the line was written");
    const std::string after = stress::contenuDe("Log.txt");
    if (after != earlier)
        return complain("the journal changed by " + std::to_string(after.size() - earlier.size()) + " bytes");

    // Room again: the next run's line follows the earlier content, whole.
    if (disk == Disk::TmpfsFortyBytesShort) std::filesystem::remove("filler");
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    if (!firstLine(2, 2)) return complain("the next line was not written");
    if (stress::contenuDe("Log.txt") != earlier + line("ETAT_VERIFIER_CODECLAVIER", "VEHICULE_AU_MILIEU"))
        return complain("the next line does not follow the earlier content whole");
    return 0;
}

void PrintTo(const DiskCase& c, std::ostream* os) {
    *os << c.name;
}

class HalfLine : public test::Sandbox, public ::testing::WithParamInterface<DiskCase> {};

TEST_P(HalfLine, ALineThatDoesNotFitLeavesNothingAndNoSignalEndsTheTerminal) {
    if (GetParam().needsRoot && ::geteuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root (CI runs as root)";
    const int status = inChild([&] { return wholeOrAbsent(GetParam().disk); });
    if (status == kImpossibleHere) GTEST_SKIP() << "this kernel or container does not allow it";
    EXPECT_EQ(status, 0) << describe(status);
}

INSTANTIATE_TEST_SUITE_P(Disks, HalfLine, ::testing::ValuesIn(kDisks),
                         [](const auto& info) { return std::string(info.param.name); });

// ------------------------------------------------------------------------- a pipe whose reader goes

int g_reader = -1;

// The reader leaves between the journal's open and its write, as a reader that opens the pipe and
// closes it at once does.
ssize_t writeAfterTheReaderLeft(int fd, const void* bytes, std::size_t n) {
    ::close(g_reader);
    return FichierJournal::appelsSysteme().ecrire(fd, bytes, n);
}

class BrokenPipe : public test::Sandbox {};

TEST_F(BrokenPipe, IsOneMoreFailedWriteNotTheEndOfTheTerminal) {
    ASSERT_EQ(::mkfifo("Log.txt", 0644), 0);
    const int status = inChild([] {
        g_reader = ::open("Log.txt", O_RDONLY | O_NONBLOCK);
        const auto system = FichierJournal::remplacerAppels(
            {FichierJournal::appelsSysteme().ouvrir, writeAfterTheReaderLeft});
        if (firstLine(1, 1)) return complain("Ecrire says the line was written");
        FichierJournal::remplacerAppels(system);
        // A reader that stays gets the next line whole.
        const int reader = ::open("Log.txt", O_RDONLY | O_NONBLOCK);
        if (!firstLine(2, 2)) return complain("the next line was not written");
        char bytes[200];
        const ssize_t n = ::read(reader, bytes, sizeof bytes);
        if (n < 0 || std::string(bytes, static_cast<std::size_t>(n)) !=
                         line("ETAT_VERIFIER_CODECLAVIER", "VEHICULE_AU_MILIEU"))
            return complain("the reader did not get the next line whole");
        return 0;
    });
    EXPECT_EQ(status, 0) << describe(status);
}

// ------------------------------------------------------------------------- a disk that stops answering

struct StallCase {
    const char* name;
    test::StalledDisk::Call held;
    bool lineAfterRelease; // whether the line under way reaches the file once the disk answers
};

const StallCase kStalls[] = {
    // Held in its write: the line has begun, so it ends whole when the disk answers.
    {"InTheWrite", test::StalledDisk::Call::Write, true},
    // Held in its open: nothing of the line has begun, and once stopped it never does.
    {"InTheOpen", test::StalledDisk::Call::Open, false},
};

void PrintTo(const StallCase& c, std::ostream* os) {
    *os << c.name;
}

class FrozenDisk : public test::Sandbox, public ::testing::WithParamInterface<StallCase> {};

TEST_P(FrozenDisk, TheStopNeverWaitsForItAndTheHeldLineEndsWholeOrAbsent) {
    test::StalledDisk disk(GetParam().held);
    bool written = false;
    std::thread worker([&] { written = firstLine(1, 1); });
    const bool held = disk.waitUntilHeld();
    bool underWay = false;
    const bool atOnce = held && disk.returnsWhileHeld([&] { underWay = FichierJournal::arreter(); });
    // Another turn after the stop does not even open the journal.
    const int opens = disk.opens();
    const bool later = firstLine(2, 2);
    const int opensAfterTheStop = disk.opens() - opens;
    disk.release();
    worker.join();

    ASSERT_TRUE(held) << "the journal never reached the disk";
    EXPECT_TRUE(atOnce) << "the stop waited for the disk";
    EXPECT_TRUE(underWay) << "the stop did not see the call under way";
    EXPECT_FALSE(later);
    EXPECT_EQ(opensAfterTheStop, 0);
    EXPECT_EQ(written, GetParam().lineAfterRelease);
    EXPECT_EQ(stress::contenuDe("Log.txt"),
              GetParam().lineAfterRelease ? line("ETAT_ATTENTE_AUTORISATION", "VEHICULE_SUR_BOUCLE_AMONT")
                                          : "");
    EXPECT_FALSE(FichierJournal::occupe());
}

INSTANTIATE_TEST_SUITE_P(Stalls, FrozenDisk, ::testing::ValuesIn(kStalls),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

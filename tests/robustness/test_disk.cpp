// The journal's file when the disk lets it down: a line is whole or absent whatever the disk does, no
// signal from the file system ends the terminal, and a disk that stops answering never holds up the
// stop. A run that could be killed, or that changes a process-wide limit, runs in a child process.
#include "journal/FichierJournal.h"
#include "journal/tDebug.h"
#include "tests/support/Common.h"
#include "tests/support/Sandbox.h"
#include "tests/support/StalledDisk.h"

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

constexpr int kImpossibleHere = 77;

// The child's exit status, or 128 + the signal that ended it, said in words.
std::string inChild(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) std::_Exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) return "killed by "s + strsignal(WTERMSIG(status));
    return WEXITSTATUS(status) == 0 ? "" : "status " + std::to_string(WEXITSTATUS(status));
}

const std::string kLine =
    "EtatCourant = \0ETAT_ATTENTE_AUTORISATION;      Evenement = \0VEHICULE_SUR_BOUCLE_AMONT;\n"s;

// The first turn of a new run of the terminal: a line is due.
bool firstLine() {
    tDebug journal("Log.txt");
    journal.NoterEvenement(1);
    journal.NoterEtat(1);
    return journal.Ecrire();
}

int complain(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    return 1;
}

// ------------------------------------------------------------------------- a line whole or absent

struct DiskCase {
    const char* name;
    bool tmpfs; // else a file-size limit (`ulimit -f`), which needs no root
};

void PrintTo(const DiskCase& c, std::ostream* os) {
    *os << c.name;
}

class HalfLine : public test::Sandbox, public ::testing::WithParamInterface<DiskCase> {};

// Room for 40 bytes of the 87-byte line: the kernel writes 40 and then says the disk is full (a small
// tmpfs) or raises SIGXFSZ (the size limit). The journal must be left as it was, and the program alive.
TEST_P(HalfLine, ALineThatDoesNotFitLeavesNothingAndNoSignalEndsTheTerminal) {
    if (GetParam().tmpfs && ::geteuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root (CI runs as root)";
    const bool tmpfs = GetParam().tmpfs;
    const std::string failure = inChild([tmpfs] {
        std::string earlier = "an earlier line\n";
        if (tmpfs) { // two pages: the journal's, 40 bytes short of full, and a filler's
            std::filesystem::create_directory("disk");
            if (::unshare(CLONE_NEWNS) != 0 ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount("borne-test", "disk", "tmpfs", 0, "size=8k") != 0 || ::chdir("disk") != 0)
                return kImpossibleHere;
            earlier = std::string(4096 - 40 - 1, 'x') + "\n";
            std::ofstream("filler") << std::string(4096, 'f');
        }
        std::ofstream("Log.txt") << earlier;
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = earlier.size() + 40;
        if (!tmpfs && ::setrlimit(RLIMIT_FSIZE, &limit) != 0) return kImpossibleHere;
        if (firstLine()) return complain("Ecrire says the line was written");
        if (test::readFile("Log.txt") != earlier) return complain("a fragment of the line stayed");
        return 0;
    });
    if (failure == "status 77") GTEST_SKIP() << "this kernel or container does not allow it";
    EXPECT_EQ(failure, "");
}

INSTANTIATE_TEST_SUITE_P(Disks, HalfLine,
                         ::testing::Values(DiskCase{"SizeLimitWithRoomFor40Bytes", false},
                                           DiskCase{"TmpfsFortyBytesShort", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// ------------------------------------------------------------------------- a pipe whose reader goes

int g_reader = -1;

// The reader leaves between the journal's open and its write, as one that opens and closes at once.
ssize_t writeAfterTheReaderLeft(int fd, const void* bytes, std::size_t n) {
    ::close(g_reader);
    return FichierJournal::appelsSysteme().ecrire(fd, bytes, n);
}

class BrokenPipe : public test::Sandbox {};

TEST_F(BrokenPipe, IsOneMoreFailedWriteNotTheEndOfTheTerminal) {
    ASSERT_EQ(::mkfifo("Log.txt", 0644), 0);
    EXPECT_EQ(inChild([] {
                  g_reader = ::open("Log.txt", O_RDONLY | O_NONBLOCK);
                  FichierJournal::remplacerAppels(
                      {FichierJournal::appelsSysteme().ouvrir, writeAfterTheReaderLeft});
                  return firstLine() ? complain("Ecrire says the line was written") : 0;
              }),
              "");
}

// ------------------------------------------------------------------------- a disk that stops answering

struct StallCase {
    const char* name;
    test::StalledDisk::Call held;
    bool lineAfterRelease; // held in its write, the line has begun and ends whole; in its open, it never
                           // begins
};

void PrintTo(const StallCase& c, std::ostream* os) {
    *os << c.name;
}

class FrozenDisk : public test::Sandbox, public ::testing::WithParamInterface<StallCase> {};

TEST_P(FrozenDisk, TheStopNeverWaitsForItAndTheHeldLineEndsWholeOrAbsent) {
    test::StalledDisk disk(GetParam().held);
    bool written = false;
    std::thread worker([&] { written = firstLine(); });
    EXPECT_TRUE(disk.waitUntilHeld());
    EXPECT_TRUE(FichierJournal::arreter()) << "the stop did not see the call under way";
    EXPECT_FALSE(disk.gaveUp()) << "the stop waited for the disk";
    disk.release();
    worker.join();
    EXPECT_EQ(written, GetParam().lineAfterRelease);
    EXPECT_EQ(test::readFile("Log.txt"), GetParam().lineAfterRelease ? kLine : "");
    EXPECT_FALSE(FichierJournal::occupe());
}

INSTANTIATE_TEST_SUITE_P(Stalls, FrozenDisk,
                         ::testing::Values(StallCase{"InTheWrite", test::StalledDisk::Call::Write, true},
                                           StallCase{"InTheOpen", test::StalledDisk::Call::Open, false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

// BORNE_RECORD through the whole program, as a child process: a session recorded and replayed, the
// folders that cannot take a recording, and a disk that fills up during one.
#include "tests/recording/Session.h"

#include "tests/window/WindowSandbox.h"

#include <QProcess>

#include <filesystem>
#include <unistd.h>

namespace borne::test {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

class Session : public Sandbox {
protected:
    Session() { writeSettings(0); }

    // The program with a scripted user, in this test's folder, BORNE_RECORD set to `dir`, running
    // `controller` (none: the terminal's own).
    Outcome run(const QString& dir, QStringList arguments, const QString& controller = {}) {
        QProcess programme;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("BORNE_RECORD", dir);
        env.insert("BORNE_CONTROLLER", controller);
        programme.setProcessEnvironment(env);
        programme.setWorkingDirectory(QString::fromStdString(folder().string()));
        programme.start(BORNE_RECORD_SESSION, arguments);
        const bool ended = programme.waitForFinished(60000) && programme.exitStatus() == QProcess::NormalExit;
        return {ended ? programme.exitCode() : -1, programme.readAllStandardOutput().toStdString(),
                programme.readAllStandardError().toStdString()};
    }

    // A start-up refused for `dir`: the dialog and standard error say `why`, exit status 0, no window, the
    // working folder as it was.
    void expectRefused(const fs::path& dir, const std::string& why) {
        const std::string config = test::readFile("Config.cfg");
        const Outcome r = run(QString::fromStdString(dir.string()), {"refused"});
        EXPECT_EQ(r.code, 0) << r.out << r.err;
        EXPECT_NE(r.out.find("dialog: BORNE_RECORD: " + dir.string() + " " + why), std::string::npos)
            << r.out;
        EXPECT_NE(r.err.find("borne: BORNE_RECORD: " + dir.string() + " " + why), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("shown"), std::string::npos) << "the terminal started";
        EXPECT_FALSE(fs::exists("Log.txt"));
        EXPECT_EQ(test::readFile("Config.cfg"), config);
    }
};

TEST_F(Session, RecordedByTheProgramAndReplayedExactly) {
    const Outcome r = run("rec", {"leave"});
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    ASSERT_NE(r.out.find("done"), std::string::npos) << r.out << r.err;
    EXPECT_EQ(test::readFile("rec/expected/Log.txt"), test::readFile("Log.txt"));
    const std::string script = test::readFile("rec/scenario.scn");
    EXPECT_NE(script.find("\ntick CheckBox5\n"), std::string::npos) << script;
    const Replay replayed = replay("rec");
    EXPECT_EQ(replayed.code, 0) << replayed.output << "\n--- the recording:\n" << script;
}

// A controller plug-in in the window records as the terminal's own does, and replays on itself.
TEST_F(Session, AControllerPlugInIsRecordedAndItsRecordingReplaysOnIt) {
    const Outcome r = run("rec", {"leave"}, BORNE_REFERENCE);
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("shown Velmora \u2014 reference.so\n"), std::string::npos) << r.out;
    ASSERT_NE(r.out.find("done"), std::string::npos) << r.out << r.err;
    EXPECT_EQ(test::readFile("rec/expected/Log.txt"), test::readFile("Log.txt"));
    const Replay replayed = replay("rec", {"--controller", BORNE_REFERENCE});
    EXPECT_EQ(replayed.code, 0) << replayed.output << "\n--- the recording:\n"
                                << test::readFile("rec/scenario.scn");
}

TEST_F(Session, AFolderThatIsNotEmptyIsRefused) {
    fs::create_directory("full");
    std::ofstream("full/notes.txt") << "mine\n";
    expectRefused(folder() / "full", "is not empty");
    EXPECT_EQ(test::readFile("full/notes.txt"), "mine\n");
    EXPECT_EQ(std::distance(fs::directory_iterator("full"), fs::directory_iterator()), 1);
}

TEST_F(Session, AFolderThatCannotBeCreatedIsRefused) {
    std::ofstream("plain") << "a file, not a folder\n";
    expectRefused(folder() / "plain" / "rec", "cannot be created");
    expectRefused(folder() / "plain", "is not a folder");
}

TEST_F(Session, AFolderThatCannotBeWrittenInIsRefused) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes in a read-only folder: the refusal cannot be seen";
    fs::create_directory("locked");
    fs::permissions("locked", fs::perms::owner_read | fs::perms::owner_exec);
    expectRefused(folder() / "locked", "cannot be written in");
    fs::permissions("locked", fs::perms::owner_all);
}

TEST_F(Session, ADiskThatFillsUpEndsTheRecordingNotTheTerminal) {
    constexpr int kLimit = 16384;
    const Outcome r = run("rec", {"fill", QString::number(kLimit)});
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    ASSERT_NE(r.out.find("done"), std::string::npos) << r.out << r.err;

    const std::string told = "recording in " + (folder() / "rec").string() + " stopped: File too large";
    const auto first = r.err.find(told);
    EXPECT_NE(first, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(told, first + 1), std::string::npos) << "told once: " << r.err;

    // The car came after the recording had stopped: the terminal went on and its journal lost nothing.
    const char kJournal[] = "EtatCourant = \0ETAT_VEHICULE_ABSENT;      Evenement = \0VEHICULE_ABSENT;\n"
                            "EtatCourant = \0ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT;      "
                            "Evenement = \0VEHICULE_SUR_BOUCLE_AVAL;\n";
    EXPECT_EQ(test::readFile("Log.txt"), std::string(kJournal, sizeof kJournal - 1));
    // What was recorded stops at a whole line.
    const std::string script = test::readFile("rec/scenario.scn");
    EXPECT_LE(script.size(), static_cast<std::size_t>(kLimit));
    ASSERT_FALSE(script.empty());
    EXPECT_EQ(script.back(), '\n');
}

} // namespace
} // namespace borne::test

// The worker's death by an error that is not the stop: the window's side stays up, the worker ends,
// and the error's text reaches standard error once.
#include "tests/window/WindowSandbox.h"
#include "base/Codes.h"

#include <stdexcept>

namespace borne::test {
namespace {

// A clock whose first wait fails the way a broken dependency would.
class FailingClock : public Horloge {
public:
    void attendre(int) override { throw std::runtime_error("the clock broke"); }
};

class Worker : public Sandbox {};

TEST_F(Worker, AnUnexpectedErrorEndsItAndIsWrittenOnceToStandardError) {
    writeSettings(MODE_SUPERVISE);
    FailingClock failing;
    HorlogeInstallee installed{failing};
    ::testing::internal::CaptureStderr();
    {
        MyThread worker(false);
        worker.AttendreFin();
        EXPECT_TRUE(worker.isFinished());
        EXPECT_FALSE(panel.fige()) << "an error is not a stop: the panel was not frozen";
    }
    const std::string err = ::testing::internal::GetCapturedStderr();
    const std::string text = "the clock broke";
    const auto first = err.find(text);
    ASSERT_NE(first, std::string::npos) << err;
    EXPECT_EQ(err.find(text, first + 1), std::string::npos) << "written once: " << err;
    EXPECT_EQ(err.back(), '\n');
    EXPECT_EQ(panel.EtatCourant.Text(), "") << "the turn died before its journal step";
}

} // namespace
} // namespace borne::test

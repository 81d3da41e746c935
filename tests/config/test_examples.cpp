// Each example folder's settings, read as the terminal reads them at start.
#include "config/tConfiguration.h"
#include "control/Codes.h"
#include "tests/support/Sandbox.h"

#include <filesystem>
#include <string>

using borne::test::Sandbox;
namespace fs = std::filesystem;

namespace {

struct Example {
    const char* folder;
    std::int32_t mode;
};

// Tests are named and traced by their case's name.
void PrintTo(const Example& c, std::ostream* os) {
    *os << c.folder;
}

const Example kExamples[] = {
    {"supervised", MODE_SUPERVISE},
    {"out-of-service", MODE_HORS_SERVICE},
    {"out-of-service-raised", MODE_HORS_SERVICE_OUVERT},
    {"test-mode", MODE_TEST},
    {"standalone", MODE_LOCAL},
};

class Examples : public Sandbox, public ::testing::WithParamInterface<Example> {};

TEST_P(Examples, GiveTheirModeAndTheirSettings) {
    const Example& e = GetParam();
    // Copied into the working folder and read by the names the terminal uses.
    const fs::path source = fs::path(BORNE_EXAMPLES) / e.folder;
    fs::copy_file(source / "Config.cfg", folder() / "Config.cfg");
    fs::copy_file(source / "CHIP.INI", folder() / "CHIP.INI");

    tConfiguration conf("Config.cfg", "CHIP.INI");
    char ip[50] = "", supervisorPort[10] = "", address[50] = "", serverPort[10] = "", name[50] = "";
    char code[10] = "aucun";
    conf.LireIPSuperviseur(ip);
    conf.LirePortSuperviseur(supervisorPort);
    conf.LireAdresse(address);
    conf.LirePortServeur(serverPort);
    conf.LireNomAcces(name);
    conf.LireCode(code);

    EXPECT_EQ(conf.LireMode(), e.mode);
    EXPECT_EQ(conf.LireNumeroAcces(), 2);
    EXPECT_STREQ(ip, "192.0.2.10");
    EXPECT_STREQ(supervisorPort, "4000");
    EXPECT_STREQ(address, "12");
    EXPECT_STREQ(serverPort, "4001");
    EXPECT_STREQ(name, "Entree Nord");
    // Only the standalone terminal carries a local code.
    EXPECT_STREQ(code, e.mode == MODE_LOCAL ? "6082" : "aucun");
}

INSTANTIATE_TEST_SUITE_P(Config, Examples, ::testing::ValuesIn(kExamples), [](const auto& info) {
    std::string name = info.param.folder;
    std::erase(name, '-');
    return name;
});

} // namespace

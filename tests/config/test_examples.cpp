// Each example folder's settings, read as the terminal reads them at start.
#include "config/tConfiguration.h"
#include "control/Codes.h"
#include "support/Sandbox.h"

#include <filesystem>
#include <string>

using borne::test::Sandbox;
namespace fs = std::filesystem;

namespace {

struct Exemple {
    const char* dossier;
    std::int32_t mode;
};

// Tests are named and traced by their case's name.
void PrintTo(const Exemple& c, std::ostream* os) {
    *os << c.dossier;
}

const Exemple kExemples[] = {
    {"supervised", MODE_SUPERVISE},
    {"out-of-service", MODE_HORS_SERVICE},
    {"out-of-service-raised", MODE_HORS_SERVICE_OUVERT},
    {"test-mode", MODE_TEST},
    {"standalone", MODE_LOCAL},
};

class Exemples : public Sandbox, public ::testing::WithParamInterface<Exemple> {};

TEST_P(Exemples, DonnentLeurModeEtLeursReglages) {
    const Exemple& e = GetParam();
    // Copied into the working folder and read by the names the terminal uses.
    const fs::path source = fs::path(BORNE_EXAMPLES) / e.dossier;
    fs::copy_file(source / "Config.cfg", folder() / "Config.cfg");
    fs::copy_file(source / "CHIP.INI", folder() / "CHIP.INI");

    tConfiguration conf("Config.cfg", "CHIP.INI");
    char ip[50] = "", portSup[10] = "", adresse[50] = "", portServeur[10] = "", nom[50] = "";
    char code[10] = "aucun";
    conf.LireIPSuperviseur(ip);
    conf.LirePortSuperviseur(portSup);
    conf.LireAdresse(adresse);
    conf.LirePortServeur(portServeur);
    conf.LireNomAcces(nom);
    conf.LireCode(code);

    EXPECT_EQ(conf.LireMode(), e.mode);
    EXPECT_EQ(conf.LireNumeroAcces(), 2);
    EXPECT_STREQ(ip, "192.0.2.10");
    EXPECT_STREQ(portSup, "4000");
    EXPECT_STREQ(adresse, "12");
    EXPECT_STREQ(portServeur, "4001");
    EXPECT_STREQ(nom, "Entree Nord");
    // Only the standalone terminal carries a local code.
    EXPECT_STREQ(code, e.mode == MODE_LOCAL ? "6082" : "aucun");
}

INSTANTIATE_TEST_SUITE_P(Config, Exemples, ::testing::ValuesIn(kExemples), [](const auto& info) {
    std::string nom = info.param.dossier;
    std::erase(nom, '-');
    return nom;
});

} // namespace

// The configuration reader against file contents: one table for the text settings, one for the integers.
#include "config/tConfiguration.h"
#include "tests/support/Sandbox.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

using namespace std::string_literals;
using borne::test::Sandbox;

namespace {

void ecrire(const char* nom, const std::string& contenu) {
    std::ofstream f(nom, std::ios::binary);
    f << contenu;
}

std::string ligne(std::size_t n, char c = 'x') {
    return std::string(n, c);
}

// Exactly n bytes of short filler lines, so that what follows starts at byte n.
std::string remplissage(std::size_t n) {
    std::string s;
    while (n - s.size() > 100)
        s += ligne(99) + "\n";
    s += ligne(n - s.size() - 1) + "\n";
    return s;
}

using LectureTexte = void (tConfiguration::*)(char*, std::size_t);

struct CasTexte {
    const char* nom;
    std::optional<std::string> config; // no value: no Config.cfg
    std::optional<std::string> chip;   // no value: no CHIP.INI
    LectureTexte lecture;
    std::size_t capacite;
    std::optional<std::string> attendu; // no value: the destination keeps what it held
};

// Tests are named and traced by their case's name.
void PrintTo(const CasTexte& c, std::ostream* os) {
    *os << c.nom;
}

constexpr LectureTexte kIP = &tConfiguration::LireIPSuperviseur;
constexpr LectureTexte kPortSup = &tConfiguration::LirePortSuperviseur;
constexpr LectureTexte kAdresse = &tConfiguration::LireAdresse;
constexpr LectureTexte kPortServeur = &tConfiguration::LirePortServeur;
constexpr LectureTexte kNom = &tConfiguration::LireNomAcces;
constexpr LectureTexte kCode = &tConfiguration::LireCode;

// Big enough to see a whole 199-character line's value.
constexpr std::size_t kLarge = 250;

const std::string kLigne199 = "nomacces=" + ligne(189, 'v') + "Z"; // 199 characters
const std::string kLigne250 = "nomacces=" + ligne(241, 'v');

const CasTexte kCasTexte[] = {
    {"ValeurSimple", "nomacces=Entree Nord\n", {}, kNom, 50, "Entree Nord"},
    {"CleAbsente", "mode=0\n", {}, kNom, 50, {}},
    {"FichierAbsent", {}, {}, kNom, 50, {}},
    {"FichierVide", "", {}, kNom, 50, {}},
    {"CleEnMajusculesNeCorrespondPas", "NOMACCES=X\n", {}, kNom, 50, {}},
    {"EspaceAvantEgalNeCorrespondPas", "nomacces = X\n", {}, kNom, 50, {}},
    {"LigneCommenteeCompte", "# nomacces=Commentee\n", {}, kNom, 50, "Commentee"},
    {"DerniereCorrespondanceGagne", "nomacces=Un\nmode=0\nnomacces=Deux\n", {}, kNom, 50, "Deux"},
    {"EspaceFinalGarde", "nomacces=Entree Nord \n", {}, kNom, 50, "Entree Nord "},
    {"NomContenantCodeLuParNom", "nomacces=code=9\n", {}, kNom, 50, "code=9"},
    {"NomContenantCodeLuParCode", "nomacces=code=9\n", {}, kCode, 10, "code=9"},
    {"EgalDansLaValeur", "IPsuperviseur=a=b\n", {}, kIP, 50, "a=b"},
    {"EgalEnTeteSautes", "==nomacces=X\n", {}, kNom, 50, "X"},
    {"DerniereLigneSansFin", "mode=0\nnomacces=Sud", {}, kNom, 50, "Sud"},
    {"FinDeLigneFinaleNeChangeRien", "nomacces=Sud\n\n", {}, kNom, 50, "Sud"},
    {"ValeurVideVideLaDestination", "nomacces=\n", {}, kNom, 50, ""},
    {"DerniereValeurVideGagne", "nomacces=Un\nnomacces=\n", {}, kNom, 50, ""},
    {"ValeurTropLongueCoupee", "PORTsuperviseur=123456789012\n", {}, kPortSup, 10, "123456789"},
    {"PortServeur", "portserver=4001\n", {}, kPortServeur, 10, "4001"},
    {"Code", "code=6082\n", {}, kCode, 10, "6082"},
    // Line ends.
    {"CrLf", "nomacces=Entree Nord\r\nmode=1\r\n", {}, kNom, 50, "Entree Nord"},
    {"CrFinalSansLf", "mode=1\r\nnomacces=X\r", {}, kNom, 50, "X"},
    {"UnSeulCrRetire", "nomacces=X\r\r\n", {}, kNom, 50, "X\r"},
    {"CrInterieurGarde", "nomacces=a\rb\n", {}, kNom, 50, "a\rb"},
    // Long lines.
    {"Ligne199LueEntiere", kLigne199 + "\nmode=0\n", {}, kNom, kLarge, kLigne199.substr(9)},
    {"Ligne199CrLfLueEntiere", kLigne199 + "\r\n", {}, kNom, kLarge, kLigne199.substr(9)},
    {"Ligne250CoupeeA199", kLigne250 + "\n", {}, kNom, kLarge, kLigne250.substr(9, 190)},
    {"Ligne250CleApres199Ignoree", ligne(200) + "nomacces=Loin\n", {}, kNom, 50, {}},
    {"Ligne250CleAChevalIgnoree", ligne(195) + "nomacces=Loin" + ligne(42) + "\n", {}, kNom, 50, {}},
    {"LigneSuivanteLue",
     ligne(200) + "nomacces=Loin" + ligne(37) + "\nnomacces=Apres\n",
     {},
     kNom,
     50,
     "Apres"},
    {"LigneTresLongueSansFinPuisCle", ligne(20000) + "\nnomacces=Apres", {}, kNom, 50, "Apres"},
    {"CleAuDelaDesPremiers4Ko", remplissage(4090) + "nomacces=Frontiere\n", {}, kNom, 50, "Frontiere"},
    {"CrLfSeparesEntreDeuxBlocs", remplissage(4095 - 10) + "nomacces=X\r\n", {}, kNom, 50, "X"},
    // NUL bytes end the line's text.
    {"NulCoupeLaValeur", "nomacces=ab\0cd\n"s, {}, kNom, 50, "ab"},
    {"CleApresNulIgnoree", "xx\0nomacces=Z\nmode=0\n"s, {}, kNom, 50, {}},
    {"LigneApresNulLue", "nomacces=\0\nnomacces=Z\n"s, {}, kNom, 50, "Z"},
    // The address lives in CHIP.INI, and only there.
    {"AdresseDeChip", "ADDRESS=99\n", "ADDRESS=12\n", kAdresse, 50, "12"},
    {"AdresseDeConfigJamaisLue", "ADDRESS=99\n", "mode=0\n", kAdresse, 50, {}},
    {"AdresseSansChip", "ADDRESS=99\n", {}, kAdresse, 50, {}},
    {"NomDeChipJamaisLu", "mode=0\n", "nomacces=Chip\n", kNom, 50, {}},
};

class LectureDeTexte : public Sandbox, public ::testing::WithParamInterface<CasTexte> {};

TEST_P(LectureDeTexte, CopieLaValeurOuLaisseLaDestination) {
    const CasTexte& c = GetParam();
    if (c.config) ecrire("Config.cfg", *c.config);
    if (c.chip) ecrire("CHIP.INI", *c.chip);

    // The field, then guard bytes that must come out untouched.
    constexpr std::size_t kGarde = 16;
    char zone[kLarge + kGarde];
    std::memset(zone, '#', sizeof zone);
    std::memcpy(zone, "avant", 6);

    tConfiguration conf("Config.cfg", "CHIP.INI");
    (conf.*c.lecture)(zone, c.capacite);

    const std::string attendu = c.attendu.value_or("avant");
    EXPECT_EQ(std::string(zone, ::strnlen(zone, c.capacite)), attendu);
    ASSERT_LT(attendu.size(), c.capacite);
    // Nothing written after the terminator other than what was there.
    for (std::size_t i = std::max<std::size_t>(attendu.size(), 5) + 1; i < c.capacite + kGarde; ++i)
        ASSERT_EQ(zone[i], '#') << "byte " << i;
}

INSTANTIATE_TEST_SUITE_P(Config, LectureDeTexte, ::testing::ValuesIn(kCasTexte),
                         [](const auto& info) { return std::string(info.param.nom); });

using LectureEntier = std::optional<std::int32_t> (tConfiguration::*)();
constexpr LectureEntier kMode = &tConfiguration::LireMode;
constexpr LectureEntier kNumero = &tConfiguration::LireNumeroAcces;

struct CasEntier {
    const char* nom;
    std::optional<std::string> config;
    LectureEntier lecture;
    std::optional<std::int32_t> attendu;
};

// Tests are named and traced by their case's name.
void PrintTo(const CasEntier& c, std::ostream* os) {
    *os << c.nom;
}

const CasEntier kCasEntier[] = {
    {"Mode0", "mode=0\n", kMode, 0},
    {"FichierAbsent", {}, kMode, {}},
    {"CleAbsente", "nomacces=X\n", kMode, {}},
    {"MajusculesNeCorrespondentPas", "MODE=1\n", kMode, {}},
    {"EspacesNeCorrespondentPas", "mode = 1\n", kMode, {}},
    {"LigneCommenteeCompte", "# mode=3\n", kMode, 3},
    {"DerniereCorrespondanceGagne", "mode=1\nnumeroacces=2\nmode=3\n", kMode, 3},
    {"TexteApresLeNombre", "mode=2 (test)\n", kMode, 2},
    {"SansChiffresDonneZero", "mode=x\n", kMode, 0},
    {"ValeurVide", "mode=\n", kMode, {}},
    {"DerniereValeurVide", "mode=3\nmode=\n", kMode, {}},
    {"BlancsEtSigne", "mode= \t-7\n", kMode, -7},
    {"SignePlus", "mode=+4\n", kMode, 4},
    {"CleDansUneAutreValeur", "nomacces=mode=4\n", kMode, 0},
    {"CrLf", "mode=3\r\n", kMode, 3},
    {"SansFinDeLigne", "mode=4", kMode, 4},
    {"NumeroAcces", "numeroacces=2\n", kNumero, 2},
    {"Maximum", "numeroacces=2147483647\n", kNumero, 2147483647},
    {"Minimum", "numeroacces=-2147483648\n", kNumero, -2147483647 - 1},
    {"JusteAuDessus", "numeroacces=2147483648\n", kNumero, {}},
    {"JusteAuDessous", "numeroacces=-2147483649\n", kNumero, {}},
    // The number at the start of the value (blanks, sign, digits) holds at most 11 characters; a longer
    // one is refused rather than cut into another number. What follows it does not count.
    {"DouzeChiffresRefuses", "numeroacces=123456789012\n", kNumero, {}},
    {"ZerosEnTeteRefuses", "numeroacces=000000000012345\n", kNumero, {}},
    {"ModeDeDouzeChiffresRefuse", "mode=000000000001\n", kMode, {}},
    {"BlancsEnTeteRefuses", "numeroacces=           5\n", kNumero, {}},
    {"SigneEtOnzeChiffresRefuses", "mode=-00000000003\n", kMode, {}},
    {"OnzeCaracteresAcceptes", "mode= -000000003\n", kMode, -3},
    {"OnzeBlancsSansChiffre", "mode=           x\n", kMode, 0},
    {"LongTexteApresLeNombre", "mode=2                                        (test)\n", kMode, 2},
    {"OnzeChiffresHorsLimites", "numeroacces=99999999999\n", kNumero, {}},
    {"ModeDeChipJamaisLu", "nomacces=X\n", kMode, {}},
};

class LectureDEntier : public Sandbox, public ::testing::WithParamInterface<CasEntier> {};

TEST_P(LectureDEntier, ConvertitLaValeur) {
    const CasEntier& c = GetParam();
    if (c.config) ecrire("Config.cfg", *c.config);
    ecrire("CHIP.INI", "mode=2\nnumeroacces=9\n");
    tConfiguration conf("Config.cfg", "CHIP.INI");
    EXPECT_EQ((conf.*c.lecture)(), c.attendu);
}

INSTANTIATE_TEST_SUITE_P(Config, LectureDEntier, ::testing::ValuesIn(kCasEntier),
                         [](const auto& info) { return std::string(info.param.nom); });

class Configuration : public Sandbox {};

TEST_F(Configuration, UnDossierALaPlaceDuFichierNeDonneRien) {
    std::filesystem::create_directory("Config.cfg");
    tConfiguration conf("Config.cfg", "CHIP.INI");
    char nom[50] = "avant";
    conf.LireNomAcces(nom);
    EXPECT_STREQ(nom, "avant");
    EXPECT_EQ(conf.LireMode(), std::nullopt);
}

// A settings file is read up to 1 MiB: one byte more and it is as missing.
TEST_F(Configuration, AFileOfOneMiBIsReadAndOneByteMoreIsAsMissing) {
    std::string reglages = "nomacces=Nord\nmode=3\n";
    reglages += std::string((std::size_t{1} << 20) - reglages.size(), '\n');
    ecrire("Config.cfg", reglages);
    tConfiguration conf("Config.cfg", "CHIP.INI");
    EXPECT_EQ(conf.LireMode(), 3);
    ecrire("Config.cfg", reglages + "\n");
    char nom[50] = "avant";
    conf.LireNomAcces(nom);
    EXPECT_STREQ(nom, "avant");
    EXPECT_EQ(conf.LireMode(), std::nullopt);
}

TEST_F(Configuration, ChaqueLectureRelitLeFichier) {
    tConfiguration conf("Config.cfg", "CHIP.INI");
    ecrire("Config.cfg", "mode=1\n");
    EXPECT_EQ(conf.LireMode(), 1);
    ecrire("Config.cfg", "mode=3\n");
    EXPECT_EQ(conf.LireMode(), 3);
    std::filesystem::remove("Config.cfg");
    EXPECT_EQ(conf.LireMode(), std::nullopt);
}

TEST_F(Configuration, LitLesFichiersNommesALaConstruction) {
    ecrire("Config.cfg", "nomacces=Defaut\n");
    ecrire("autre.cfg", "nomacces=Autre\n");
    ecrire("autre.ini", "ADDRESS=7\n");
    tConfiguration conf("autre.cfg", "autre.ini");
    char nom[50] = "";
    char adresse[50] = "";
    conf.LireNomAcces(nom);
    conf.LireAdresse(adresse);
    EXPECT_STREQ(nom, "Autre");
    EXPECT_STREQ(adresse, "7");
}

} // namespace

#include "tests/support/Sandbox.h"
#include "tools/log/JournalView.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

using namespace borne::journalview;
using namespace std::string_literals;

namespace {

// The bytes the journal writes for one turn.
std::string line(const std::string& state, const std::string& event) {
    return "EtatCourant = \0"s + state + ";      Evenement = \0"s + event + ";\n";
}

std::string convert(const std::string& bytes, Format format = Format::Text, std::size_t piece = 0,
                    const std::string& file = {}) {
    std::ostringstream out;
    Converter converter(format, out, file);
    if (piece == 0) piece = bytes.size() + 1;
    for (std::size_t i = 0; i < bytes.size(); i += piece)
        converter.feed(std::string_view(bytes).substr(i, piece));
    converter.finish();
    return out.str();
}

// Undoes the text format's escaping, to check that an escaped line gives back every byte.
std::string unescape(std::string_view s) {
    std::string bytes;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            bytes += s[i];
        } else if (s[i + 1] == 'x') {
            bytes += static_cast<char>(std::stoi(std::string(s.substr(i + 2, 2)), nullptr, 16));
            i += 3;
        } else {
            bytes += s[++i];
        }
    }
    return bytes;
}

struct Case {
    const char* rule;
    std::string bytes;
    std::string text;
};

const std::string kEntry = line("ETAT_ATTENTE_AUTORISATION", "VEHICULE_SUR_BOUCLE_AMONT");

const Case kCases[] = {
    {"JournalLine", kEntry, "1\tETAT_ATTENTE_AUTORISATION\tVEHICULE_SUR_BOUCLE_AMONT\n"},
    {"CutLineThenWholeLine", kEntry.substr(0, 40) + kEntry,
     "1\tnot a journal line: \"EtatCourant = \\x00ETAT_ATTENTE_AUTORISATIONEtatCourant = "
     "\\x00ETAT_ATTENTE_AUTORISATION;      Evenement = \\x00VEHICULE_SUR_BOUCLE_AMONT;\"\n"},
    {"CutLastLine", kEntry + kEntry.substr(0, 20),
     "1\tETAT_ATTENTE_AUTORISATION\tVEHICULE_SUR_BOUCLE_AMONT\n"
     "2\tnot a journal line: \"EtatCourant = \\x00ETAT_\" (no line end)\n"},
    {"WholeRecordWithoutItsLineEnd", kEntry.substr(0, kEntry.size() - 1),
     "1\tnot a journal line: \"EtatCourant = \\x00ETAT_ATTENTE_AUTORISATION;      Evenement = "
     "\\x00VEHICULE_SUR_BOUCLE_AMONT;\" (no line end)\n"},
    {"OlderFileWithoutZeroBytesAndCrLf",
     "EtatCourant = ETAT_VEHICULE_ABSENT;      Evenement = VEHICULE_ABSENT;\r\n",
     "1\tnot a journal line: \"EtatCourant = ETAT_VEHICULE_ABSENT;      Evenement = "
     "VEHICULE_ABSENT;\\x0D\"\n"},
    {"UnknownNameIsNotAJournalLine", line("ETAT_INCONNU", "VEHICULE_ABSENT"),
     "1\tnot a journal line: \"EtatCourant = \\x00ETAT_INCONNU;      Evenement = \\x00VEHICULE_ABSENT;\"\n"},
    {"EmptyLinesAreCounted", "\n" + line("ETAT_DEFAUT", "AUTORISATION_OK"),
     "1\tnot a journal line: \"\"\n2\tETAT_DEFAUT\tAUTORISATION_OK\n"},
    {"QuotesBackslashesAndHighBytes", "a\"b\\c\xE9\x7F\n",
     "1\tnot a journal line: \"a\\\"b\\\\c\\xE9\\x7F\"\n"},
    {"EmptyFileHasNoRecord", "", ""},
};

class Lines : public ::testing::TestWithParam<Case> {};

TEST_P(Lines, ShownAsTheRuleSays) {
    const Case& c = GetParam();
    EXPECT_EQ(convert(c.bytes), c.text);
    // Pieces of any size give the same records: a line split between two reads is still one line.
    for (std::size_t piece : {1u, 7u, 64u})
        EXPECT_EQ(convert(c.bytes, Format::Text, piece), c.text) << "fed " << piece << " bytes at a time";
}

INSTANTIATE_TEST_SUITE_P(JournalView, Lines, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.rule); });

TEST(JournalView, CsvQuotesOnlyWhatNeedsIt) {
    const std::string bytes =
        line("ETAT_VEHICULE_ABSENT", "VEHICULE_ABSENT") + "say \"hi\", then\\go\n" + "x";
    EXPECT_EQ(header(Format::Csv, false) + convert(bytes, Format::Csv),
              "line,state,event,not_a_journal_line,note\r\n"
              "1,ETAT_VEHICULE_ABSENT,VEHICULE_ABSENT,,\r\n"
              "2,,,\"say \"\"hi\"\", then\\\\go\",\r\n"
              "3,,,\"x\",no line end\r\n");
    // A file name with a comma or a quote is quoted; a plain one is not.
    EXPECT_EQ(convert(line("ETAT_DEFAUT", "VEHICULE_ABSENT"), Format::Csv, 0, "a,\"b\".txt"),
              "\"a,\"\"b\"\".txt\",1,ETAT_DEFAUT,VEHICULE_ABSENT,,\r\n");
    EXPECT_EQ(header(Format::Csv, true), "file,line,state,event,not_a_journal_line,note\r\n");
    // A line or a file name a spreadsheet would take for a formula stays text, long lines too.
    const std::string formula = "=cmd|' /c calc'!A1\n";
    for (std::size_t piece : {0u, 1u})
        EXPECT_EQ(convert(formula + "\t@x\n" + "-" + std::string(300, 'y') + "\n", Format::Csv, piece, "+f"),
                  "'+f,1,,,\"'=cmd|' /c calc'!A1\",\r\n'+f,2,,,\"\\x09@x\",\r\n'+f,3,,,\"'-" +
                      std::string(300, 'y') + "\",\r\n");
    EXPECT_EQ(convert("x\n", Format::Text, 0, "old\tlog"), "old\\x09log\t1\tnot a journal line: \"x\"\n");
}

// A megabyte of journal with a cut line and half a megabyte of other bytes in the middle: every record is
// there, in order, and the long line comes back byte for byte from its escaped form.
TEST(JournalView, OneMegabyteFile) {
    const std::string entry = line("ETAT_VEHICULE_ENTRE", "VEHICULE_ABSENT");
    std::string junk(1u << 19, '\0');
    for (std::size_t i = 0; i < junk.size(); ++i)
        junk[i] = static_cast<char>(i * 7919 % 256 == '\n' ? 0 : i * 7919 % 256);
    std::string bytes;
    std::size_t entries = 0;
    for (; bytes.size() < (1u << 19); ++entries)
        bytes += entry;
    const std::size_t before = entries;
    bytes += entry.substr(0, 30) + "\n" + junk + "\n";
    for (; bytes.size() < (1u << 20); ++entries)
        bytes += entry;

    std::istringstream out(convert(bytes, Format::Text, 4096 + 3));
    std::string record;
    std::vector<std::string> others;
    std::size_t n = 0;
    while (std::getline(out, record)) {
        ++n;
        if (record.find("\tnot a journal line: \"") != std::string::npos)
            others.push_back(record);
        else
            ASSERT_EQ(record, std::to_string(n) + "\tETAT_VEHICULE_ENTRE\tVEHICULE_ABSENT");
    }
    ASSERT_EQ(others.size(), 2u);
    EXPECT_EQ(others[0].substr(0, others[0].find('\t')), std::to_string(before + 1));
    const std::string head = std::to_string(before + 2) + "\tnot a journal line: \"";
    ASSERT_EQ(others[1].substr(0, head.size()), head);
    EXPECT_EQ(unescape(others[1].substr(head.size(), others[1].size() - head.size() - 1)), junk);
    EXPECT_EQ(n, entries + 2);
}

class LogProgram : public borne::test::Sandbox {
protected:
    static void write(const char* name, const std::string& bytes) {
        std::ofstream(name, std::ios::binary) << bytes;
    }
    int run(std::vector<std::string> args) {
        args.insert(args.begin(), "borne-log");
        out.str({});
        err.str({});
        return borne::journalview::run(args, out, err);
    }
    std::ostringstream out, err;
};

TEST_F(LogProgram, ExitStatusSaysWhetherEveryLineWasRead) {
    write("Log.txt", line("ETAT_VEHICULE_ABSENT", "VEHICULE_ABSENT"));
    EXPECT_EQ(run({}), 0);
    EXPECT_EQ(out.str(), "1\tETAT_VEHICULE_ABSENT\tVEHICULE_ABSENT\n");
    EXPECT_EQ(err.str(), "");

    write("old.txt", "EtatCourant = ETAT_VEHICULE_ABSENT;\n");
    EXPECT_EQ(run({"--csv", "Log.txt", "old.txt"}), 1);
    EXPECT_EQ(out.str(), "file,line,state,event,not_a_journal_line,note\r\n"
                         "Log.txt,1,ETAT_VEHICULE_ABSENT,VEHICULE_ABSENT,,\r\n"
                         "old.txt,1,,,\"EtatCourant = ETAT_VEHICULE_ABSENT;\",\r\n");

    // A file that cannot be read is reported and the others are still shown.
    EXPECT_EQ(run({"missing.txt", "Log.txt"}), 2);
    EXPECT_EQ(err.str(), "borne-log: missing.txt: No such file or directory\n");
    EXPECT_EQ(out.str(), "Log.txt\t1\tETAT_VEHICULE_ABSENT\tVEHICULE_ABSENT\n");
    EXPECT_EQ(run({"."}), 2);
    EXPECT_EQ(err.str(), "borne-log: .: is a folder\n");
}

// A stream whose every write fails, like standard output on a full disk.
class Full : public std::streambuf {
protected:
    int overflow(int) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST_F(LogProgram, HelpThatCannotBeWrittenIsAFailure) {
    Full full;
    std::ostream lost(&full);
    EXPECT_EQ(borne::journalview::run({"borne-log", "--help"}, lost, err), 2);
    EXPECT_EQ(err.str(), "borne-log: cannot write the output\n");
}

} // namespace

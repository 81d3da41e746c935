// A test bench: the process-wide panel back in its stored state, the journal's file in service, a
// virtual clock installed and a fresh working folder, for every test that uses it.
#pragma once

#include "control/Attente.h"
#include "panel/PanneauOperateur.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace borne::test {

class Sandbox : public ::testing::Test {
protected:
    Sandbox();
    ~Sandbox() override;

    PanneauOperateur& p = panneau();
    HorlogeVirtuelle clock;

    // A fresh empty folder that is the working directory for the test's duration.
    const std::filesystem::path& folder() const { return dossier_; }

private:
    HorlogeInstallee installee_{clock};
    std::filesystem::path ancien_;
    std::filesystem::path dossier_;
};

} // namespace borne::test

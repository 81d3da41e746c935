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

    PanneauOperateur& panel = panneau();
    HorlogeVirtuelle clock;

    // A fresh empty folder that is the working directory for the test's duration.
    const std::filesystem::path& folder() const { return folder_; }

private:
    HorlogeInstallee installed_{clock};
    std::filesystem::path previous_;
    std::filesystem::path folder_;
};

} // namespace borne::test

// Common fixture of the host tests: a fresh simulated machine and window layer for each test,
// and no complaint left by the simulated window layer at its end.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/sim/Sim.h"
#include "platform/sim/SimUi.h"

class SimTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::Reset();
        sim::ui::Reset();
    }

    void TearDown() override {
        for (const auto& failure : sim::ui::Failures()) {
            ADD_FAILURE() << "window layer: " << failure;
        }
    }

    // Writes a file on the simulated drive C, creating its directories.
    static void WriteFile(const std::string& windowsPath, const std::string& content) {
        std::filesystem::path host = sim::HostPath(windowsPath);
        std::filesystem::create_directories(host.parent_path());
        std::ofstream(host, std::ios::binary) << content;
    }

    static bool Exists(const std::string& windowsPath) {
        std::error_code ec;
        return std::filesystem::exists(
            std::filesystem::symlink_status(sim::HostPath(windowsPath), ec));
    }
};

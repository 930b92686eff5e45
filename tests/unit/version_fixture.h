// A headless host working in a fresh, empty current directory, with the texts
// of the version module's files as they must stand on disk.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "cli_runner.h"
#include "fixture.h"
#include "support/version_texts.h"
#include "version/version.h"

namespace kelpin::testing {

inline int CountLines(const std::string& text) {
    int lines = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos;
         at = text.find("\r\n", at + 2))
        ++lines;
    return lines;
}

inline bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// Every test runs in its own empty directory, which is the process's current
// directory: relative module names land there.
class VersionTest : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        ASSERT_FALSE(dir.path().empty());
        ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
        ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    }
    void TearDown() override {
        // Read-only test folders must be writable again to be removed.
        ::chmod(dir.path().c_str(), 0755);
        EXPECT_EQ(::chdir(previous), 0);
        HostTest::TearDown();
    }

    // Loads the add-in with versioning on (or off) and hands over a project
    // whose VERSION symbol is name (none when name is nullopt).
    void StartProject(std::optional<std::string> name, bool versioning = true) {
        std::uint32_t flag = versioning ? 1 : 0;
        headless::Registry()["Software\\Dravenor\\Quarnel\\Vantrel"]["flag"] = {
            RegTypeDword, std::string(reinterpret_cast<const char*>(&flag), sizeof flag)};
        Load();
        mainWindow().output.clear();
        project = host().AddProjectWindow();
        if (name) host().Project(project)->symbols["VERSION"] = *name;
        AddInMain(project, HostEventProject);
    }
    std::int32_t Build() { return AddInMain(project, HostEventBuild); }
    headless::ProjectWindow& projectWindow() { return *host().Project(project); }

    TempDir dir;
    char previous[4096] = {};
    HostWindow project = 0;
};

} // namespace kelpin::testing

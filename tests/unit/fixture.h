// A fresh headless host and a freshly loaded add-in for every test.
#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "addin/addin.h"
#include "addin/settings.h"
#include "doubles/headless.h"

namespace kelpin::testing {

// A local time for the headless clock (weekday 0 is Sunday).
inline std::tm At(int year, int month, int day, int hour, int minute, int second, int weekday) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_wday = weekday;
    return t;
}

class HostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        headless::Reset();
        ResetAddIn();
        AttachProcess(0x400000);
        main = host().AddMainWindow();
    }
    void TearDown() override { ResetAddIn(); }

    headless::HostModel& host() { return headless::Host(); }
    headless::MainWindow& mainWindow() { return *host().Main(main); }

    // Loads the add-in (HostEventLoad) with the main window.
    std::int32_t Load() { return AddInMain(main, HostEventLoad); }

    // Opens an editor on text and makes it the active one; the caret stands at
    // position caret.
    HostWindow OpenEditor(const std::string& text, const std::string& path = "C:\\src\\test.c",
                          std::int32_t caret = 0) {
        HostWindow editor = host().AddEditor(text, path);
        host().Editor(editor)->selection = {caret, caret};
        mainWindow().activeEditor = editor;
        return editor;
    }
    // The caret at the start of 1-based line.
    void PutCaretOnLine(HostWindow editor, int line) {
        std::int32_t at = LineIndexOf(host().Editor(editor)->text, line - 1);
        host().Editor(editor)->selection = {at, at};
    }

    std::vector<std::int32_t> RegisteredIds() {
        std::vector<std::int32_t> ids;
        for (const auto& c : mainWindow().commands)
            ids.push_back(c.id);
        return ids;
    }

    HostWindow main = 0;
};

} // namespace kelpin::testing

// What differs by architecture between the host and the add-in: the names the
// entry points are exported under, and pointers passed at their full width.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "tests/wine/harness.h"

using namespace kelpin;
using namespace kelpin::wine;

// The four names of this architecture resolve, the other's do not: a DLL
// built with the wrong export list would load and then be unusable.
KELPIN_SCENARIO(entry_names) {
    HMODULE module = LoadAddIn().module;
    const AddInEntryNames decorated{"_AddInMain@8", "_AddInCommand@4", "_AddInSetup@8",
                                    "_AddInHelp@12"};
    const AddInEntryNames plain{"AddInMain", "AddInCommand", "AddInSetup", "AddInHelp"};
    const bool i686 = sizeof(void*) == 4;
    const AddInEntryNames& own = i686 ? decorated : plain;
    const AddInEntryNames& other = i686 ? plain : decorated;
    CHECK_EQ(std::string(EntryNames.main), std::string(own.main));
    for (const AddInEntryNames* names : {&own, &other}) {
        bool expected = names == &own;
        for (const char* name : {names->main, names->command, names->setup, names->help})
            CHECK_EQ(GetProcAddress(module, name) != nullptr, expected);
    }
}

// A keyword at an address that needs more than 32 bits (where pointers have
// them) reaches WinHelp whole: an entry point or a seam call that cut a
// pointer would crash here or pass another text.
KELPIN_SCENARIO(keyword_pointer_full_width) {
    CreateSettingsKey();
    WriteSetting("W32hlpPath", std::string("C:\\sdk\\win32.hlp\0", 17));
    StartAddIn();
    void* page =
        VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT | MEM_TOP_DOWN, PAGE_READWRITE);
    REQUIRE(page != nullptr);
    if (sizeof(void*) == 8) REQUIRE(reinterpret_cast<std::uintptr_t>(page) > 0xFFFFFFFFu);
    char* keyword = static_cast<char*>(page);
    std::strcpy(keyword, "CreateWindowExA");
    SetHelpResult(1);
    CHECK_EQ(AddIn().Help(Main(), 2, keyword), 1);
    REQUIRE(HelpCalls().size() == 1);
    CHECK_EQ(HelpCalls()[0].keyword, std::string("CreateWindowExA"));
    CHECK_EQ(HelpCalls()[0].helpFile, std::string("C:\\sdk\\win32.hlp"));
    VirtualFree(page, 0, MEM_RELEASE);
}

// What the DLL carries and needs: its version resource, its six icons and
// dialog templates, and no library beyond the system's.
#include <windows.h>
// tlhelp32.h builds on windows.h.
#include <tlhelp32.h>

#include <cstring>
#include <string>
#include <vector>

#include "kelpin_version.h"
#include "tests/wine/harness.h"

using namespace kelpin;
using namespace kelpin::wine;

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string ModulePath(HMODULE module) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(module, path, sizeof path);
    return std::string(path, n);
}

std::string VersionString(const std::vector<char>& block, const char* name) {
    std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
    char* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) ||
        value == nullptr)
        return "(missing)";
    return value;
}

#pragma pack(push, 2)
struct GroupIconHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

const BYTE* Resource(HMODULE module, int id, LPCSTR type, DWORD* size) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (found == nullptr) return nullptr;
    *size = SizeofResource(module, found);
    return static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
}

} // namespace

KELPIN_SCENARIO(version_resource) {
    LoadAddIn();
    std::string path = ModulePath(AddIn().module);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    REQUIRE(size > 0);
    std::vector<char> block(size);
    REQUIRE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    REQUIRE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    REQUIRE(length >= sizeof(VS_FIXEDFILEINFO));
    CHECK_EQ(fixed->dwSignature, 0xFEEF04BDu);
    CHECK_EQ(fixed->dwFileVersionMS, 0x00010005u);
    CHECK_EQ(fixed->dwFileVersionLS, 0u);
    CHECK_EQ(fixed->dwProductVersionMS, 0x00010005u);
    CHECK_EQ(fixed->dwProductVersionLS, 0u);

    WORD* translation = nullptr;
    REQUIRE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                           reinterpret_cast<void**>(&translation), &length));
    REQUIRE(length >= 4);
    CHECK_EQ(translation[0], 0x0409);
    CHECK_EQ(translation[1], 1200);

    CHECK_EQ(VersionString(block, "Comments"), std::string("Add-in for Quarnel (kelpin.dll)"));
    CHECK_EQ(VersionString(block, "FileDescription"), std::string("Orvell's Addin toolkit"));
    CHECK_EQ(VersionString(block, "FileVersion"), std::string(KELPIN_VERSION));
    CHECK_EQ(VersionString(block, "ProductVersion"), std::string("A1.0.0.1"));
}

// Each icon resource is one 32x32 image of 8 bits per pixel, and the host's
// 16x16 request is served from it.
KELPIN_SCENARIO(icon_resources) {
    LoadAddIn();
    HMODULE module = AddIn().module;
    std::vector<int> images;
    for (int id = IDI_PROTOTYPES; id <= IDI_EDIT_VERSION; ++id) {
        DWORD size = 0;
        const BYTE* group = Resource(module, id, RT_GROUP_ICON, &size);
        if (!CHECK(group != nullptr)) continue;
        REQUIRE(size >= sizeof(GroupIconHeader));
        GroupIconHeader header;
        std::memcpy(&header, group, sizeof header);
        CHECK_EQ(header.type, 1);
        CHECK_EQ(header.count, 1);
        REQUIRE(size == sizeof(GroupIconHeader) + header.count * sizeof(GroupIconEntry));
        GroupIconEntry entry;
        std::memcpy(&entry, group + sizeof header, sizeof entry);
        CHECK_EQ(entry.width, 32);
        CHECK_EQ(entry.height, 32);
        CHECK_EQ(entry.bitCount, 8);
        images.push_back(entry.id);

        DWORD imageSize = 0;
        const BYTE* image = Resource(module, entry.id, RT_ICON, &imageSize);
        if (!CHECK(image != nullptr)) continue;
        CHECK_EQ(imageSize, entry.bytesInRes);
        BITMAPINFOHEADER bitmap;
        REQUIRE(imageSize >= sizeof bitmap);
        std::memcpy(&bitmap, image, sizeof bitmap);
        CHECK_EQ(bitmap.biWidth, 32);
        CHECK_EQ(bitmap.biHeight, 64); // the colour image and its mask
        CHECK_EQ(bitmap.biBitCount, 8);
        // 256 palette entries, 32x32 bytes of colour, 32 rows of 4 mask bytes.
        CHECK_EQ(imageSize, sizeof bitmap + 256 * 4 + 32 * 32 + 32 * 4);

        HICON icon = static_cast<HICON>(
            LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, LR_SHARED));
        CHECK(icon != nullptr);
    }
    // Six distinct pictures, not one image shared by all groups.
    for (std::size_t i = 0; i < images.size(); ++i)
        for (std::size_t j = i + 1; j < images.size(); ++j)
            CHECK(images[i] != images[j]);
    CHECK_EQ(images.size(), 6u);
}

KELPIN_SCENARIO(dialog_templates) {
    LoadAddIn();
    for (int id = IDD_FUNCTIONS; id <= IDD_VERSION; ++id) {
        DWORD size = 0;
        if (!CHECK(Resource(AddIn().module, id, RT_DIALOG, &size) != nullptr))
            Fail(__FILE__, __LINE__, "dialog template " + std::to_string(id) + " is missing");
    }
}

// The DLL is loaded from beside the host, where it stands alone, and pulls
// in nothing but system libraries.
KELPIN_SCENARIO(dll_stands_alone) {
    WIN32_FIND_DATAA found;
    std::vector<std::string> dlls;
    HANDLE search = FindFirstFileA((HostDirectory() + "*.dll").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            dlls.push_back(Lower(found.cFileName));
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    CHECK_EQ(dlls, std::vector<std::string>{"kelpin.dll"});

    LoadAddIn();
    CHECK_EQ(Lower(ModulePath(AddIn().module)), Lower(HostDirectory() + "kelpin.dll"));

    char system[MAX_PATH];
    UINT n = GetSystemDirectoryA(system, sizeof system);
    std::string systemDirectory = Lower(std::string(system, n)) + "\\";
    std::string exe = Lower(ModulePath(nullptr));
    std::string addIn = Lower(ModulePath(AddIn().module));
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId());
    REQUIRE(snapshot != INVALID_HANDLE_VALUE);
    MODULEENTRY32 module{};
    module.dwSize = sizeof module;
    for (BOOL more = Module32First(snapshot, &module); more;
         more = Module32Next(snapshot, &module)) {
        std::string path = Lower(module.szExePath);
        if (path == exe || path == addIn) continue;
        if (path.rfind(systemDirectory, 0) != 0)
            Fail(__FILE__, __LINE__, "a library from outside the system directory: " + path);
    }
    CloseHandle(snapshot);
}

#include "app/win32/association.h"

#include <shlobj.h>

#include <cwchar>

#include "base/platform.h"
#include "base/win32/text.h"

namespace {

const wchar_t kProgId[] = L"Tavrel.iEPG";
const char kCaption[] = "iEPGの関連付け";

// Sets a string value (the key's default for a null name), creating the key.
bool set_value(const wchar_t* key, const wchar_t* name, const wchar_t* value) {
    HKEY h;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG done = RegSetValueExW(h, name, 0, REG_SZ, (const BYTE*)value,
                                     (DWORD)((std::wcslen(value) + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    return done == ERROR_SUCCESS;
}

bool key_exists(const wchar_t* key) {
    HKEY h;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

}  // namespace

void associate_iepg_files(HWND dialog) {
    wchar_t exe[MAX_PATH * 2], folder[MAX_PATH * 2], command[MAX_PATH * 5];
    const DWORD exe_len = GetModuleFileNameW(nullptr, exe, MAX_PATH * 2);
    const DWORD folder_len = GetCurrentDirectoryW(MAX_PATH * 2, folder);
    bool ok = exe_len > 0 && exe_len < MAX_PATH * 2 && folder_len > 0 && folder_len < MAX_PATH * 2 - 2;
    if (ok) {
        // A backslash before the closing quote would escape it ("C:\" reads as C:"): the
        // root is given as "C:\.".
        if (folder[folder_len - 1] == L'\\') std::wcscat(folder, L".");
        std::swprintf(command, sizeof(command) / sizeof(command[0]), L"\"%ls\" /dir \"%ls\" \"%%1\"", exe, folder);
        static const struct {
            const wchar_t *extension, *content_type;
        } kTypes[] = {
            {L".tvpi", L"application/x-tv-program-info"},
            {L".tvpid", L"application/x-tv-program-digital-info"},
            {L".tvpi", L"application/x-multi-tv-program-info"},
        };
        wchar_t key[256];
        ok = set_value(L"Software\\Classes\\Tavrel.iEPG", nullptr, L"iEPG") &&
             set_value(L"Software\\Classes\\Tavrel.iEPG\\shell\\open\\command", nullptr, command);
        for (const auto& t : kTypes) {
            std::swprintf(key, 256, L"Software\\Classes\\%ls", t.extension);
            ok = ok && set_value(key, nullptr, kProgId);
            std::swprintf(key, 256, L"Software\\Classes\\MIME\\Database\\Content Type\\%ls", t.content_type);
            ok = ok && set_value(key, L"Extension", t.extension);
        }
        ok = ok && set_value(L"Software\\Classes\\.tvpi", L"Content Type", L"application/x-tv-program-info") &&
             set_value(L"Software\\Classes\\.tvpid", L"Content Type", L"application/x-tv-program-digital-info");
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    if (!ok) {
        platform.messages->show((WindowRef)dialog, "iEPGファイルの関連付けを登録できませんでした", kCaption);
        return;
    }
    // Where the user once chose a program for these files, Windows keeps that choice.
    const bool chosen =
        key_exists(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.tvpi\\UserChoice") ||
        key_exists(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.tvpid\\UserChoice");
    platform.messages->show((WindowRef)dialog,
                            chosen ? "iEPGファイル(.tvpi, .tvpid)をTavrelで開くように登録しました\r\n"
                                     "Windowsが、どのプログラムで開くかを尋ねることがあります。"
                                   : "iEPGファイル(.tvpi, .tvpid)をTavrelで開くように登録しました",
                            kCaption);
}

// IniFile and the private-profile functions on arbitrary file content:
// lookups survive any bytes, and a value written is the value read back.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/IniFile.h"

#include "FuzzScratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    corvina::IniFile ini = corvina::IniFile::FromText(text);
    for (const std::string& section : ini.Sections()) {
        for (const std::string& key : ini.Keys(section)) {
            (void)ini.GetString(section, key, "");
            (void)ini.GetInt(section, key, 0);
        }
    }
    ini.Set("Mail", "Total", "123");
    const corvina::IniFile again = corvina::IniFile::FromText(ini.Text());
    if (again.GetInt("mail", "total", -1) != 123) {
        std::abort();
    }

    const std::string path = corvina::fuzz::WriteScratchFile("input.ctl", data, size).string();
    char buf[16];
    const int n = corvina::GetPrivateProfileString("Mail", "UnRead", "x", buf, sizeof buf, path);
    if (n < 0 || n >= static_cast<int>(sizeof buf) || buf[n] != '\0') {
        std::abort();
    }
    if (!corvina::WritePrivateProfileString("Mail", "UnRead", "a=b", path) ||
        corvina::GetPrivateProfileString("Mail", "UnRead", "", path) != "a=b") {
        std::abort();
    }
    return 0;
}

// The settings key as a file: one registry key written in the registry-export text form.
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Velmar Software\Hopscope\1.3]
//   "ethers"=".\\ethers"
//   "max link width"=dword:00000064
//
// Value lines: "name"="text" (backslash and double quote escaped with a backslash),
// "name"=dword:XXXXXXXX (up to 8 hexadecimal digits, a 32-bit value), "name"=hex:..,
// and "name"=hex(T):.. (bytes as two-digit hexadecimal numbers separated by commas,
// continued on the next line after a trailing backslash) for data of any other type,
// "name"=- (the value is deleted). Lines starting with ';' are comments. Only values
// under the section that names the key belong to it; other sections are ignored.
// Value names are matched without regard to ASCII case, as in the registry.
//
// No Qt here: the settings are read before anything else exists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr uint32_t kRegText = 1;   // REG_SZ
inline constexpr uint32_t kRegBinary = 3;  // REG_BINARY
inline constexpr uint32_t kRegDword = 4;  // REG_DWORD

// One stored value: its name, registry type number and raw data. Text values hold their
// characters without a terminating NUL; a dword holds 4 bytes, least significant first.
struct RegValue {
    std::string name;
    uint32_t type = kRegText;
    std::string data;
};

// The values of the key in file order.
struct RegKey {
    std::vector<RegValue> values;

    [[nodiscard]] const RegValue* find(std::string_view name) const;
    // Replaces the value's type and data, or appends a new value.
    void set(std::string_view name, uint32_t type, std::string data);
    void remove(std::string_view name);
};

// Parses key-file text. Returns 1 and fills `key` with the values under the section
// `key_name`; returns -1 when the text is not a key file (its first non-blank line is
// not "REGEDIT4"). Malformed value lines are skipped. Never reads outside `text`.
[[nodiscard]] int regfile_parse(std::string_view text, std::string_view key_name, RegKey* key);

// The key-file text for `key` under the section `key_name`.
[[nodiscard]] std::string regfile_format(const RegKey& key, std::string_view key_name);

// Value builders.
[[nodiscard]] std::string regfile_dword(int32_t value);

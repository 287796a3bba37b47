#pragma once
// The per-user registry: keys and values with the names the program has always used
// ("Software\Korvane\DLX2.0\...", string and 4-byte binary values), kept in one text file
// "registry" under the user's configuration directory ($QVX_CONFIG_HOME, else
// $XDG_CONFIG_HOME/quorvix, else ~/.config/quorvix). Key and value names compare without regard
// to ASCII case, as the registry always has. Every write re-reads the file under an exclusive
// lock (so two running copies never lose each other's values) and replaces it atomically: a
// temporary file in the same folder, flushed to disk and renamed over the old one.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qvx {

inline constexpr const char* kKeyConnectionDefaults =
    "Software\\Korvane\\DLX2.0\\Connection Default Settings";
inline constexpr const char* kKeyAddressBook = "Software\\Korvane\\DLX2.0\\Address Book";
inline constexpr const char* kKeyLogs = "Software\\Korvane\\DLX2.0\\Logs";
inline constexpr const char* kKeySensors = "Software\\Korvane\\DLX2.0\\Sensors";
inline constexpr const char* kKeyExport = "Software\\Korvane\\Export";

// A file in the store's place that is no settings file at all (binary, a folder or pipe, far too
// large) is renamed to "<file>.bad-YYYYMMDD-HHMMSS" by the next write, and the user is told with
// one message naming both files. Lines the store does not understand are kept as they are.
// Messages go to this handler (any thread may call it), or to stderr when none is set.
using RegistryNoticeHandler = std::function<void(const std::string& message)>;
void SetRegistryNoticeHandler(RegistryNoticeHandler handler);

class RegistryStore {
  public:
    // The store of the current user (path from the environment, see above).
    RegistryStore();
    explicit RegistryStore(std::string file_path);

    // The file of the current user's store.
    static std::string DefaultPath();

    const std::string& path() const { return path_; }

    // True for the key itself and for any key above an existing one.
    bool KeyExists(const std::string& key) const;
    // Creates the key when missing. Returns true when it was created now.
    bool CreateKey(const std::string& key);

    // A string value, cut at its first NUL and at max_bytes - 1 characters when max_bytes is given.
    // A binary value under that name counts as missing.
    std::optional<std::string> GetString(const std::string& key, const std::string& name,
                                         std::size_t max_bytes = 0) const;
    // Stores text padded with NULs to fixed_bytes when given (the value's stored byte length);
    // longer text is cut to fixed_bytes - 1 so the stored value always ends in a NUL.
    bool SetString(const std::string& key, const std::string& name, const std::string& value,
                   std::size_t fixed_bytes = 0);

    std::optional<std::vector<std::uint8_t>> GetBinary(const std::string& key, const std::string& name) const;
    bool SetBinary(const std::string& key, const std::string& name, const std::vector<std::uint8_t>& bytes);
    // A little-endian number from a binary value of 1 to 4 bytes (4 bytes are signed).
    std::optional<std::int32_t> GetInt(const std::string& key, const std::string& name) const;
    // bytes: 1 to 4, the low bytes of value, little-endian.
    bool SetInt(const std::string& key, const std::string& name, std::int32_t value, std::size_t bytes = 4);

    // True when the value existed and is now gone.
    bool DeleteValue(const std::string& key, const std::string& name);

  private:
    std::string path_;
};

}  // namespace qvx

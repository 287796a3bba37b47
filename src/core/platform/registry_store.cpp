#include "platform/registry_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <utility>

#include "platform/registry_format.h"

namespace qvx {
namespace {

namespace rf = registry_format;

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string HomeDirectory() {
    std::string home = EnvOrEmpty("HOME");
    if (home.empty()) {
        if (const passwd* entry = getpwuid(getuid()))
            home = entry->pw_dir;
    }
    return home;
}

std::string ParentFolder(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// mkdir -p; folders we create are private to the user because the registry holds addresses
// and passwords of the user's sensors.
bool EnsureFolder(const std::string& folder) {
    struct stat info {};
    if (stat(folder.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    const std::string parent = ParentFolder(folder);
    if (parent != folder && !EnsureFolder(parent))
        return false;
    return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// A missing file is an empty registry; any other failure is reported, so that a write never
// replaces a file it could not read with one that lacks its values.
std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::string text;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? std::optional<std::string>(text) : std::nullopt;
    char buffer[8192];
    bool failed = false;
    while (true) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        failed = got < 0;
        if (got <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    if (failed)
        return std::nullopt;
    return text;
}

rf::Document ReadDocument(const std::string& path) {
    return rf::Parse(ReadWholeFile(path).value_or(""));
}

// Temporary file in the same folder, flushed, then renamed over the old file: a reader sees the
// old file or the new one, never a half-written one, even after a power cut.
bool ReplaceFileAtomically(const std::string& path, const std::string& text) {
    const std::string folder = ParentFolder(path);
    std::string temp_path = path + ".tmp.XXXXXX";
    const int fd = mkstemp(temp_path.data());
    if (fd < 0)
        return false;
    const bool written = fchmod(fd, 0600) == 0 && WriteAll(fd, text) && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    if (!written || !closed || rename(temp_path.c_str(), path.c_str()) != 0) {
        unlink(temp_path.c_str());
        return false;
    }
    const int folder_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_fd >= 0) {
        fsync(folder_fd);
        close(folder_fd);
    }
    return true;
}

// Serialises read-modify-write cycles of all processes and threads on one registry file. The
// lock lives on a separate file because the registry file itself is replaced by rename.
class WriterLock {
  public:
    explicit WriterLock(const std::string& registry_path)
        : fd_(open((registry_path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (fd_ < 0)
            return;
        int rc;
        do {
            rc = flock(fd_, LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        held_ = rc == 0;
    }
    ~WriterLock() {
        if (fd_ >= 0)
            close(fd_);  // closing releases the flock
    }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;
    bool held() const { return held_; }

  private:
    int fd_;
    bool held_ = false;
};

// edit returns false when it changed nothing; the file is then left untouched.
bool ModifyDocument(const std::string& path, const std::function<bool(rf::Document&)>& edit) {
    if (!EnsureFolder(ParentFolder(path)))
        return false;
    WriterLock lock(path);
    if (!lock.held())
        return false;
    const auto text = ReadWholeFile(path);
    if (!text)
        return false;
    rf::Document document = rf::Parse(*text);
    if (!edit(document))
        return true;
    return ReplaceFileAtomically(path, rf::Format(document));
}

bool StoreValue(const std::string& path, const std::string& key, rf::Value value) {
    return ModifyDocument(path, [&](rf::Document& document) {
        rf::PutValue(document.GetOrCreateKey(key), std::move(value));
        return true;
    });
}

std::optional<rf::Value> LoadValue(const std::string& path, const std::string& key, const std::string& name) {
    const rf::Document document = ReadDocument(path);
    const rf::Key* found_key = document.FindKey(key);
    if (!found_key)
        return std::nullopt;
    const rf::Value* value = rf::FindValue(*found_key, name);
    if (!value)
        return std::nullopt;
    return *value;
}

}  // namespace

RegistryStore::RegistryStore() : path_(DefaultPath()) {}

RegistryStore::RegistryStore(std::string file_path) : path_(std::move(file_path)) {}

std::string RegistryStore::DefaultPath() {
    std::string folder = EnvOrEmpty("QVX_CONFIG_HOME");
    if (folder.empty()) {
        const std::string xdg = EnvOrEmpty("XDG_CONFIG_HOME");
        folder = (xdg.empty() ? HomeDirectory() + "/.config" : xdg) + "/quorvix";
    }
    return folder + "/registry";
}

bool RegistryStore::KeyExists(const std::string& key) const {
    return ReadDocument(path_).HasKeyOrSubkey(key);
}

bool RegistryStore::CreateKey(const std::string& key) {
    if (key.empty())
        return false;
    bool created = false;
    const bool stored = ModifyDocument(path_, [&](rf::Document& document) {
        if (document.FindKey(key))
            return false;
        document.GetOrCreateKey(key);
        created = true;
        return true;
    });
    return stored && created;
}

std::optional<std::string> RegistryStore::GetString(const std::string& key, const std::string& name,
                                                    std::size_t max_bytes) const {
    const auto value = LoadValue(path_, key, name);
    if (!value || value->type != rf::ValueType::String)
        return std::nullopt;
    std::string text = value->bytes.substr(0, value->bytes.find('\0'));
    if (max_bytes > 0 && text.size() > max_bytes - 1)
        text.resize(max_bytes - 1);
    return text;
}

bool RegistryStore::SetString(const std::string& key, const std::string& name, const std::string& value,
                              std::size_t fixed_bytes) {
    if (key.empty())
        return false;
    std::string bytes = value;
    if (fixed_bytes > 0) {
        if (bytes.size() > fixed_bytes - 1)
            bytes.resize(fixed_bytes - 1);
        bytes.resize(fixed_bytes, '\0');
    }
    return StoreValue(path_, key, rf::Value{name, rf::ValueType::String, std::move(bytes)});
}

std::optional<std::vector<std::uint8_t>> RegistryStore::GetBinary(const std::string& key,
                                                                  const std::string& name) const {
    const auto value = LoadValue(path_, key, name);
    if (!value || value->type != rf::ValueType::Binary)
        return std::nullopt;
    return std::vector<std::uint8_t>(value->bytes.begin(), value->bytes.end());
}

bool RegistryStore::SetBinary(const std::string& key, const std::string& name,
                              const std::vector<std::uint8_t>& bytes) {
    if (key.empty())
        return false;
    return StoreValue(path_, key,
                      rf::Value{name, rf::ValueType::Binary, std::string(bytes.begin(), bytes.end())});
}

std::optional<std::int32_t> RegistryStore::GetInt(const std::string& key, const std::string& name) const {
    const auto bytes = GetBinary(key, name);
    if (!bytes || bytes->empty() || bytes->size() > 4)
        return std::nullopt;
    std::uint32_t number = 0;
    for (std::size_t i = bytes->size(); i-- > 0;)
        number = (number << 8) | (*bytes)[i];
    return static_cast<std::int32_t>(number);
}

bool RegistryStore::SetInt(const std::string& key, const std::string& name, std::int32_t value,
                           std::size_t bytes) {
    if (bytes < 1 || bytes > 4)
        return false;
    std::vector<std::uint8_t> little_endian(bytes);
    auto number = static_cast<std::uint32_t>(value);
    for (auto& byte : little_endian) {
        byte = static_cast<std::uint8_t>(number & 0xFF);
        number >>= 8;
    }
    return SetBinary(key, name, little_endian);
}

bool RegistryStore::DeleteValue(const std::string& key, const std::string& name) {
    bool deleted = false;
    const bool stored = ModifyDocument(path_, [&](rf::Document& document) {
        rf::Key* found_key = document.FindKey(key);
        const rf::Value* value = found_key ? rf::FindValue(*found_key, name) : nullptr;
        if (!value)
            return false;
        found_key->values.erase(found_key->values.begin() + (value - found_key->values.data()));
        deleted = true;
        return true;
    });
    return stored && deleted;
}

}  // namespace qvx

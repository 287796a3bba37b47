#include "platform/registry_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>
#include <utility>

#include "platform/file_read.h"
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

std::mutex notice_guard;
RegistryNoticeHandler notice_handler;

void Notify(const std::string& message) {
    RegistryNoticeHandler handler;
    {
        std::lock_guard<std::mutex> lock(notice_guard);
        handler = notice_handler;
    }
    if (handler)
        handler(message);
    else
        std::fprintf(stderr, "%s\n", message.c_str());
}

struct RegistryText {
    FileReadStatus status = FileReadStatus::Ok;
    std::string text;
};

// A missing file is an empty registry.
RegistryText ReadRegistryText(const std::string& path) {
    FileRead read = ReadRegularFile(path, kRegistryFileMaxBytes);
    if (read.status == FileReadStatus::Missing)
        return {};
    return {read.status, std::move(read.content)};
}

rf::Document ReadDocument(const std::string& path) {
    const RegistryText read = ReadRegistryText(path);
    return read.status == FileReadStatus::Ok ? rf::Parse(read.text) : rf::Document{};
}

// The real file behind a symbolic link, so that a registry kept elsewhere (a dotfiles folder)
// is updated there instead of the link being replaced by a plain file.
std::string WriteTarget(const std::string& path) {
    char resolved[PATH_MAX];
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && realpath(path.c_str(), resolved))
        return resolved;
    return path;
}

std::string AsideName(const std::string& path) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string aside = path + ".bad-" + stamp;
    struct stat info {};
    for (int n = 2; lstat(aside.c_str(), &info) == 0; ++n)
        aside = path + ".bad-" + stamp + "-" + std::to_string(n);
    return aside;
}

// A file that is no registry at all is kept for the user under another name, never edited:
// writing into it would replace whatever it held with one value.
bool MoveAside(const std::string& path, const std::string& why) {
    const std::string aside = AsideName(path);
    if (rename(path.c_str(), aside.c_str()) != 0) {
        Notify("The registry file " + path + " " + why + ", and it could not be moved aside (" +
               std::strerror(errno) + "); settings are not saved.");
        return false;
    }
    Notify("The registry file " + path + " " + why + ". It was moved to " + aside +
           " and a new registry file was started.");
    return true;
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
        : fd_(open((registry_path + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600)) {
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

// The document a write starts from; nothing when the file cannot be used and was not moved aside.
std::optional<rf::Document> DocumentToEdit(const std::string& path) {
    const RegistryText read = ReadRegistryText(path);
    switch (read.status) {
        case FileReadStatus::Ok:
            break;
        case FileReadStatus::NotRegular:
            return MoveAside(path, "is not a regular file") ? std::optional<rf::Document>(rf::Document{})
                                                            : std::nullopt;
        case FileReadStatus::TooLarge:
            return MoveAside(path, "is far too large for a registry file")
                       ? std::optional<rf::Document>(rf::Document{})
                       : std::nullopt;
        case FileReadStatus::Missing:
        case FileReadStatus::Unreadable:
            // An unreadable file is left alone: replacing it would lose every value in it.
            return std::nullopt;
    }
    rf::Document document = rf::Parse(read.text);
    if (document.Unusable()) {
        if (!MoveAside(path, "holds no key or value that can be read"))
            return std::nullopt;
        return rf::Document{};
    }
    return document;
}

// edit returns false when it changed nothing; the file is then left untouched.
bool ModifyDocument(const std::string& path, const std::function<bool(rf::Document&)>& edit) {
    if (!EnsureFolder(ParentFolder(path)))
        return false;
    WriterLock lock(path);
    if (!lock.held())
        return false;
    const std::string target = WriteTarget(path);
    std::optional<rf::Document> document = DocumentToEdit(target);
    if (!document)
        return false;
    if (!edit(*document))
        return true;
    return ReplaceFileAtomically(target, rf::Format(*document));
}

rf::Value MakeValue(const std::string& name, rf::ValueType type, std::string bytes) {
    rf::Value value;
    value.name = name;
    value.type = type;
    value.bytes = std::move(bytes);
    return value;
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

void SetRegistryNoticeHandler(RegistryNoticeHandler handler) {
    std::lock_guard<std::mutex> lock(notice_guard);
    notice_handler = std::move(handler);
}

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
    return StoreValue(path_, key, MakeValue(name, rf::ValueType::String, std::move(bytes)));
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
                      MakeValue(name, rf::ValueType::Binary, std::string(bytes.begin(), bytes.end())));
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
        deleted = found_key && rf::EraseValue(*found_key, name);
        return deleted;
    });
    return stored && deleted;
}

}  // namespace qvx

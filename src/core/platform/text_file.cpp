#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace qvx {

namespace {

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string TemporaryPathTemplate(const std::string& path) {
    return path + ".XXXXXX";
}

}  // namespace

std::optional<std::string> ReadTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        return std::nullopt;
    }
    return content.str();
}

bool WriteTextFileAtomically(const std::string& path, const std::string& content) {
    std::string temp_path = TemporaryPathTemplate(path);
    int fd = ::mkstemp(temp_path.data());
    if (fd < 0) {
        return false;
    }
    struct stat old_status {};
    if (::stat(path.c_str(), &old_status) == 0) {
        ::fchmod(fd, old_status.st_mode & 07777);
    } else {
        ::fchmod(fd, 0644);
    }
    bool written = WriteAll(fd, content) && ::fsync(fd) == 0;
    written = (::close(fd) == 0) && written;
    if (!written || ::rename(temp_path.c_str(), path.c_str()) != 0) {
        ::unlink(temp_path.c_str());
        return false;
    }
    return true;
}

bool AppendToTextFile(const std::string& path, const std::string& text) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool written = WriteAll(fd, text);
    return (::close(fd) == 0) && written;
}

std::vector<std::string> SplitTextLines(const std::string& content) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string line = content.substr(start, end - start);
        while (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

}  // namespace qvx

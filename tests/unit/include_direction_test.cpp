// The core's folders depend on each other one way: base and platform at the bottom, then link,
// then protocol, then the application context, then the procedures, with app (the sequences that
// tie the procedures together) on top. This test reads every core source's includes and fails
// on one that runs upward, or on procedures that include each other in a circle.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Folders not listed here are procedures (stored/, config/, export/, tools/ ...).
constexpr int kProcedureRank = 5;
const std::map<std::string, int>& LayerRanks() {
    static const std::map<std::string, int> ranks = {
        {"base", 0}, {"platform", 1}, {"link", 2}, {"protocol", 3}, {"context", 4}, {"app", 6},
    };
    return ranks;
}

int RankOf(const std::string& folder) {
    const auto found = LayerRanks().find(folder);
    return found == LayerRanks().end() ? kProcedureRank : found->second;
}

// A folder may include itself, anything below it, and (for procedures) another procedure.
bool IncludeAllowed(const std::string& from, const std::string& to) {
    if (from == to) {
        return true;
    }
    return RankOf(to) < RankOf(from) || (RankOf(from) == kProcedureRank && RankOf(to) == kProcedureRank);
}

struct Include {
    std::string file;  // relative to src/core
    std::string from;
    std::string to;
    std::string target;
};

std::vector<Include> CoreIncludes() {
    const fs::path core = fs::path(QVX_SOURCE_DIR) / "src" / "core";
    const std::regex include_line(R"(^\s*#\s*include\s*"([a-z_0-9]+)/([^"]+)\")");
    std::vector<Include> includes;
    for (const auto& entry : fs::recursive_directory_iterator(core)) {
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp")) {
            continue;
        }
        const fs::path relative = fs::relative(entry.path(), core);
        if (relative.begin() == relative.end() || std::next(relative.begin()) == relative.end()) {
            continue;  // a file at the top of src/core belongs to no layer
        }
        const std::string folder = relative.begin()->string();
        std::ifstream in(entry.path());
        std::string line;
        std::smatch match;
        while (std::getline(in, line)) {
            if (std::regex_search(line, match, include_line) && fs::is_directory(core / match[1].str())) {
                includes.push_back(
                    {relative.string(), folder, match[1].str(), match[1].str() + "/" + match[2].str()});
            }
        }
    }
    return includes;
}

bool ReachesItself(const std::map<std::string, std::set<std::string>>& edges, const std::string& start,
                   const std::string& at, std::set<std::string>& seen) {
    const auto found = edges.find(at);
    if (found == edges.end()) {
        return false;
    }
    for (const std::string& next : found->second) {
        if (next == start) {
            return true;
        }
        if (seen.insert(next).second && ReachesItself(edges, start, next, seen)) {
            return true;
        }
    }
    return false;
}

TEST(IncludeDirection, TheRuleAllowsDownwardIncludesOnly) {
    EXPECT_TRUE(IncludeAllowed("protocol", "link"));
    EXPECT_TRUE(IncludeAllowed("connect", "context"));
    EXPECT_TRUE(IncludeAllowed("app", "connect"));
    EXPECT_TRUE(IncludeAllowed("live", "stored"));
    EXPECT_FALSE(IncludeAllowed("protocol", "app"));
    EXPECT_FALSE(IncludeAllowed("platform", "protocol"));
    EXPECT_TRUE(IncludeAllowed("link", "base"));
    EXPECT_FALSE(IncludeAllowed("context", "connect"));
    EXPECT_FALSE(IncludeAllowed("live", "app"));
}

TEST(IncludeDirection, NoCoreIncludeRunsUpward) {
    const std::vector<Include> includes = CoreIncludes();
    ASSERT_GT(includes.size(), 100u) << "the core sources were not found under " << QVX_SOURCE_DIR;
    for (const Include& include : includes) {
        EXPECT_TRUE(IncludeAllowed(include.from, include.to))
            << include.file << " includes " << include.target << ": " << include.from << " sits below "
            << include.to;
    }
}

TEST(IncludeDirection, ProceduresDoNotIncludeEachOtherInACircle) {
    std::map<std::string, std::set<std::string>> edges;
    for (const Include& include : CoreIncludes()) {
        if (include.from != include.to && RankOf(include.from) == kProcedureRank &&
            RankOf(include.to) == kProcedureRank) {
            edges[include.from].insert(include.to);
        }
    }
    for (const auto& [folder, targets] : edges) {
        std::set<std::string> seen;
        EXPECT_FALSE(ReachesItself(edges, folder, folder, seen))
            << folder << "/ reaches itself through its includes";
    }
}

}  // namespace

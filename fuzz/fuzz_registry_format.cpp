// Any file content parses without crashing, and what the parser kept survives being written and
// read again unchanged: a damaged registry file never costs the values that were still good, and
// the lines it could not read come back as the same lines in the same places.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/registry_format.h"

namespace rf = qvx::registry_format;

static bool SameDocument(const rf::Document& a, const rf::Document& b) {
    if (a.preamble != b.preamble || a.keys.size() != b.keys.size()) return false;
    for (std::size_t k = 0; k < a.keys.size(); ++k) {
        const auto& ka = a.keys[k];
        const auto& kb = b.keys[k];
        if (ka.name != kb.name || ka.damaged != kb.damaged || ka.verbatim_header != kb.verbatim_header ||
            ka.values.size() != kb.values.size())
            return false;
        for (std::size_t v = 0; v < ka.values.size(); ++v) {
            const auto& va = ka.values[v];
            const auto& vb = kb.values[v];
            if (va.name != vb.name || va.type != vb.type || va.bytes != vb.bytes ||
                va.kept_verbatim != vb.kept_verbatim || va.verbatim != vb.verbatim)
                return false;
        }
    }
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const rf::Document first = rf::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    const rf::Document second = rf::Parse(rf::Format(first));
    if (second.skipped_lines != first.skipped_lines || !SameDocument(first, second)) std::abort();
    return 0;
}

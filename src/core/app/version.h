#pragma once

namespace qvx {
inline constexpr const char* kProgramName = "Quorvix Manager";
inline constexpr const char* kProgramVersion = "3.0.1";
inline constexpr const char* kProgramTitle = "Quorvix Manager 3.0.1";
}  // namespace qvx

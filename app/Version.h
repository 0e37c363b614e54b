// The program's version, printed by --version and written into the package.
#pragma once

inline constexpr char kProgramVersion[] = "2.0.0";

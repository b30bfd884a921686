#pragma once

#include <array>
#include <cstdint>

namespace tarvex::shell {

extern const std::array<std::uint32_t, 18> kBlowfishInitialP;
extern const std::array<std::array<std::uint32_t, 256>, 4> kBlowfishInitialS;

} // namespace tarvex::shell

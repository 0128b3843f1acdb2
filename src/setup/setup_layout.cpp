// SPDX-License-Identifier: MIT
#include "setup/setup_layout.h"

#include <array>

namespace setup_layout
{

namespace
{

    using twips::DesignControl;

    constexpr std::array kInventory {
        DesignControl { "fr0", "", { 75, 105, 3390, 1875 } },
        DesignControl { "fr1", "", { 3555, 105, 3390, 1875 } },
        DesignControl { "fr2", "", { 3555, 2115, 3390, 1875 } },
        DesignControl { "fr3", "", { 75, 2115, 3390, 1875 } },
        DesignControl { "cmdOpen#", "fr", { 1770, 240, 660, 450 } },
        DesignControl { "cmdClose#", "fr", { 2500, 240, 690, 450 } },
        DesignControl { "Label7#", "fr", { 120, 560, 1575, 255 } },
        DesignControl { "cboPort#", "fr", { 120, 800, 1485, 300 } },
        DesignControl { "txtName#", "fr", { 800, 1400, 2500, 315 } },
        DesignControl { "nameLabel#", "fr", { 160, 1450, 615, 255 } },
        DesignControl { "chkOpenAtStart", "", { 120, 4140, 5000, 405 } },
        DesignControl { "cmdClose", "", { 5235, 4140, 1620, 405 } },
    };

} // namespace

std::span<const twips::DesignControl> DesignInventory() { return kInventory; }

int FrameIndex(rotavex::PlayerSlot player)
{
    static constexpr std::array<int, rotavex::kPlayerCount> kIndex { 0, 1, 3, 2 };
    return kIndex[static_cast<std::size_t>(player - rotavex::kFirstPlayer)];
}

} // namespace setup_layout

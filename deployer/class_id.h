// The class of the deployer's automation object, which the factory serves and
// the registration names.
#pragma once

#include <windows.h>

inline constexpr CLSID CLSID_AddonDeploy = {
    0x59F70273, 0x5B40, 0x43CE, {0xB7, 0x35, 0xF8, 0x1F, 0xA1, 0x16, 0x37, 0x66}};

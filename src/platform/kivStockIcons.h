#pragma once
// The operating system's stock icons, as opaque 32-bit handles.

#include <cstdint>

namespace kivPlatform {
uint32_t LoadStockIcon(int32_t Id);
}

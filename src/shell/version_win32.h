#pragma once
#include <windows.h>

#include "kernel/product_info.h"

namespace tidewell::win32 {

// The version record of a module (the program itself by default): product
// name, file version major.minor, company name, legal copyright. Fields the
// record lacks keep the values the build compiled in.
ProductInfo readProductInfo(HMODULE module = nullptr);

} // namespace tidewell::win32

#include "kernel/product_info.h"

#include "product_config.h"

namespace tidewell {

std::string productVersionText(const ProductInfo& info) {
    return info.productName + " v" + std::to_string(info.major) + "." + std::to_string(info.minor);
}

std::string alreadyRunningText(const ProductInfo& info) {
    return productVersionText(info) + " already running.";
}

std::string bannerText(const ProductInfo& info, const std::string& title) {
    return title + " v" + std::to_string(info.major) + "." + std::to_string(info.minor) + " " +
           info.legalCopyright + " " + info.companyName;
}

ProductInfo builtInProductInfo() {
    return {TIDEWELL_PRODUCT_NAME, TIDEWELL_VERSION_MAJOR, TIDEWELL_VERSION_MINOR, TIDEWELL_COMPANY,
            TIDEWELL_COPYRIGHT};
}

std::string programPath(const std::string& folder) {
    std::string path = folder;
    bool driveRoot = path.size() == 3 && path[1] == ':' && path[2] == '\\';
    if (!driveRoot && !path.empty() && path.back() == '\\') {
        path.pop_back();
    }
    if (path.empty() || path.back() != '\\') {
        path += '\\';
    }
    return path + "Varnholt.Exe";
}

} // namespace tidewell

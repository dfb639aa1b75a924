#pragma once
#include <string>

namespace tidewell {

// The fields of the program's version record that the program shows.
struct ProductInfo {
    std::string productName;
    unsigned major = 0;
    unsigned minor = 0;
    std::string companyName; // holds the product web site's address
    std::string legalCopyright;
};

// Product name + " v" + major + "." + minor: caption, tray tip, show item.
std::string productVersionText(const ProductInfo& info);
// The second-instance message.
std::string alreadyRunningText(const ProductInfo& info);
// A scrolling banner's text: title, version, legal notice and web address.
std::string bannerText(const ProductInfo& info, const std::string& title);

// The record the build put into the program; the running program prefers what
// its own version resource says.
ProductInfo builtInProductInfo();

// Folder + "\Varnholt.Exe", the folder without its trailing backslash unless
// it is a drive root.
std::string programPath(const std::string& folder);

} // namespace tidewell

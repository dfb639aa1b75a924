#pragma once
#include <optional>
#include <string>
#include <vector>

namespace tidewell {

// The sites whose cookies survive a clean: "example.com" keeps the cookies of
// example.com and of every subdomain, whatever the case, with or without the
// leading dot of a cookie's host key.
class KeepList {
public:
    struct Parsed;
    // Domains separated by commas, semicolons or blanks. A scheme, a path, a
    // port, a leading "*." or dot and a trailing dot are dropped
    // ("https://Example.com/x" is example.com). An entry that still is no
    // host name is returned in `bad`: a list the cleaner cannot read must
    // never make it erase more than the user wanted.
    static Parsed parse(const std::string& text);

    bool keeps(const std::string& cookieHost) const;
    const std::vector<std::string>& domains() const { return domains_; }

private:
    std::vector<std::string> domains_;
};

struct KeepList::Parsed {
    KeepList list;
    std::optional<std::string> bad; // the first entry that is not a host name
};

} // namespace tidewell

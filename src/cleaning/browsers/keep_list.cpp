#include "cleaning/browsers/keep_list.h"

#include <algorithm>

namespace tidewell {

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowered(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), lower);
    return s;
}

// The host part of what a user may type for a site, lower case.
std::string hostOf(std::string entry) {
    entry = lowered(std::move(entry));
    if (const size_t scheme = entry.find("://"); scheme != std::string::npos) {
        entry.erase(0, scheme + 3);
    }
    entry = entry.substr(0, entry.find_first_of("/?#"));
    entry = entry.substr(0, entry.find(':'));
    if (entry.rfind("*.", 0) == 0) {
        entry.erase(0, 2);
    }
    while (!entry.empty() && entry.front() == '.') {
        entry.erase(0, 1);
    }
    if (!entry.empty() && entry.back() == '.') {
        entry.pop_back();
    }
    return entry;
}

bool isHostName(const std::string& host) {
    if (host.empty() || host.size() > 253) {
        return false;
    }
    size_t label = 0;
    for (size_t i = 0; i <= host.size(); ++i) {
        if (i == host.size() || host[i] == '.') {
            // No empty label, none that starts or ends with a hyphen.
            if (label == 0 || host[i - 1] == '-' || host[i - label] == '-') {
                return false;
            }
            label = 0;
            continue;
        }
        const char c = host[i];
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_')) {
            return false;
        }
        ++label;
    }
    return true;
}

} // namespace

KeepList::Parsed KeepList::parse(const std::string& text) {
    Parsed out;
    std::string entry;
    auto finish = [&] {
        if (entry.empty()) {
            return;
        }
        const std::string host = hostOf(entry);
        if (!isHostName(host)) {
            if (!out.bad) {
                out.bad = entry;
            }
        } else if (std::find(out.list.domains_.begin(), out.list.domains_.end(), host) ==
                   out.list.domains_.end()) {
            out.list.domains_.push_back(host);
        }
        entry.clear();
    };
    for (char c : text) {
        if (c == ',' || c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            finish();
        } else {
            entry += c;
        }
    }
    finish();
    return out;
}

bool KeepList::keeps(const std::string& cookieHost) const {
    std::string host = lowered(cookieHost);
    while (!host.empty() && host.front() == '.') {
        host.erase(0, 1);
    }
    for (const std::string& d : domains_) {
        if (host == d ||
            (host.size() > d.size() && host.compare(host.size() - d.size(), d.size(), d) == 0 &&
             host[host.size() - d.size() - 1] == '.')) {
            return true;
        }
    }
    return false;
}

} // namespace tidewell

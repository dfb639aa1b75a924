#include "cleaning/preview.h"

#include <algorithm>
#include <tuple>

#include "cleaning/erase_targets.h"

namespace tidewell {

bool PreviewCollector::add(FoundItem item) {
    if (!seen_.insert(item.path).second) {
        return false;
    }
    item.option = option_;
    items_.push_back(std::move(item));
    return true;
}

FoundTally PreviewCollector::tallySince(size_t mark) const {
    FoundTally t;
    for (size_t i = mark; i < items_.size(); ++i) {
        const FoundItem& it = items_[i];
        switch (it.kind) {
        case FoundKind::File:
        case FoundKind::Bin:
            t.files += it.count;
            t.bytes += it.size;
            break;
        case FoundKind::Value:
            t.values += it.count;
            break;
        case FoundKind::Rows:
            t.rows += it.count;
            break;
        case FoundKind::Link:
            break;
        }
    }
    return t;
}

std::string wouldEraseFilesLine(const FoundTally& t) {
    return "Would erase " + std::to_string(t.files) + " files, " + formatBytes(t.bytes);
}

std::string previewTotalLine(const FoundTally& t, bool cancelled) {
    const std::string figures = std::to_string(t.files) + " files, " + formatBytes(t.bytes);
    return cancelled ? "Preview stopped: " + figures + " found so far. Nothing was erased."
                     : "Preview: " + figures + " in total. Nothing was erased.";
}

const char* detailColumnTitle(DetailColumn c) {
    switch (c) {
    case DetailColumn::Path:
        return "Path";
    case DetailColumn::Size:
        return "Size";
    case DetailColumn::Changed:
        return "Last change";
    case DetailColumn::Option:
        return "Option";
    }
    return "";
}

void sortFound(std::vector<FoundItem>& items, DetailColumn by, bool ascending) {
    // Ties keep the walk's order, so a second sort refines the first.
    std::stable_sort(items.begin(), items.end(), [&](const FoundItem& a, const FoundItem& b) {
        const FoundItem& x = ascending ? a : b;
        const FoundItem& y = ascending ? b : a;
        switch (by) {
        case DetailColumn::Path:
            return x.path < y.path;
        case DetailColumn::Size:
            // Rows and values have no bytes: they sort by their count among themselves.
            return std::tuple(x.size, x.count) < std::tuple(y.size, y.count);
        case DetailColumn::Changed:
            return x.modified < y.modified;
        case DetailColumn::Option:
            return x.option < y.option;
        }
        return false;
    });
}

std::string sizeText(const FoundItem& item) {
    switch (item.kind) {
    case FoundKind::File:
        return formatBytes(item.size);
    case FoundKind::Bin:
        return std::to_string(item.count) + " items, " + formatBytes(item.size);
    case FoundKind::Rows:
        return std::to_string(item.count) + " rows";
    case FoundKind::Link:
        return "link";
    case FoundKind::Value:
        return "value";
    }
    return {};
}

std::string cellText(const FoundItem& item, DetailColumn c, const TimeText& timeText) {
    switch (c) {
    case DetailColumn::Path:
        return item.path;
    case DetailColumn::Size:
        return sizeText(item);
    case DetailColumn::Changed:
        return item.modified == 0 ? std::string() : timeText(item.modified);
    case DetailColumn::Option:
        return item.option;
    }
    return {};
}

std::string detailsText(const std::vector<FoundItem>& items, const TimeText& timeText) {
    std::string out;
    for (int c = 0; c < kDetailColumnCount; ++c) {
        out += std::string(c ? "\t" : "") + detailColumnTitle(static_cast<DetailColumn>(c));
    }
    out += "\r\n";
    for (const FoundItem& item : items) {
        for (int c = 0; c < kDetailColumnCount; ++c) {
            std::string cell = cellText(item, static_cast<DetailColumn>(c), timeText);
            // A tab or break inside a name would shift every later column.
            std::replace_if(
                cell.begin(), cell.end(),
                [](char ch) { return ch == '\t' || ch == '\r' || ch == '\n'; }, ' ');
            out += (c ? "\t" : "") + cell;
        }
        out += "\r\n";
    }
    return out;
}

} // namespace tidewell

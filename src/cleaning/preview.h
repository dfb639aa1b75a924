#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

namespace tidewell {

// What one found thing is; only files and the bin's contents free space.
enum class FoundKind { File, Link, Value, Rows, Bin };

// One thing a clean would erase, as the walk found it.
struct FoundItem {
    std::string path;
    std::uint64_t size = 0;     // bytes of a file or of the bin's contents
    std::uint64_t modified = 0; // last change, 100 ns ticks since 1601 (UTC); 0 unknown
    std::string option;         // the option it belongs to
    FoundKind kind = FoundKind::File;
    std::uint64_t count = 1; // items in the bin, rows of a database
};

// Counts over a stretch of found items.
struct FoundTally {
    std::uint64_t files = 0; // files, and the items in the bin
    std::uint64_t bytes = 0;
    std::uint64_t values = 0;
    std::uint64_t rows = 0;
};

// Where the shared walk puts what it finds when it only looks. A file found
// by two options is the first one's: the run would have erased it there.
class PreviewCollector {
public:
    void setOption(std::string option) { option_ = std::move(option); }
    // False when the path was found before (it is not counted again).
    bool add(FoundItem item);
    const std::vector<FoundItem>& items() const noexcept { return items_; }
    std::vector<FoundItem> take() { return std::move(items_); }
    size_t mark() const noexcept { return items_.size(); }
    FoundTally tallySince(size_t mark) const;

    void cancel() noexcept { cancelled_ = true; }
    bool cancelled() const noexcept { return cancelled_; }

private:
    std::vector<FoundItem> items_;
    std::unordered_set<std::string> seen_;
    std::string option_;
    bool cancelled_ = false;
};

// The preview's green lines and its closing black line.
std::string wouldEraseFilesLine(const FoundTally& t);
std::string previewTotalLine(const FoundTally& t, bool cancelled);

// The details list: columns, their order, and the text "Copy" puts on the
// clipboard (a header row, then one tab-separated row per item).
enum class DetailColumn { Path, Size, Changed, Option };
inline constexpr int kDetailColumnCount = 4;
const char* detailColumnTitle(DetailColumn c);
void sortFound(std::vector<FoundItem>& items, DetailColumn by, bool ascending);
std::string sizeText(const FoundItem& item);
using TimeText = std::function<std::string(std::uint64_t ticks)>;
std::string cellText(const FoundItem& item, DetailColumn c, const TimeText& timeText);
std::string detailsText(const std::vector<FoundItem>& items, const TimeText& timeText);

} // namespace tidewell

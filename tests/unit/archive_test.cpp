// Folder archives: what a round trip keeps, what packing leaves out, and the
// entries that extraction refuses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "archive_tar_helpers.h"
#include "filesecurity/archive/archive.h"
#include "kernel/app_error.h"

using namespace tidewell;
using namespace tidewell::testing_fs;

namespace {

// Throws an AppError whose description contains `text`.
auto failsSaying(const std::string& text) {
    return ::testing::Throws<AppError>(
        ::testing::Property(&AppError::description, ::testing::HasSubstr(text)));
}

Bytes pack(MemoryFs& fs, const std::string& folder) {
    VectorSink out;
    archive::packFolder(fs, folder, out);
    return out.bytes;
}

// Everything under `root`, as relative path -> (kind, contents), and with the
// time and attributes of each file when asked.
std::map<std::string, std::string> tree(MemoryFs& fs, const std::string& root,
                                        bool stamps = false) {
    std::map<std::string, std::string> out;
    for (auto& [path, n] : fs.nodes) {
        if (path.size() > root.size() && path.compare(0, root.size() + 1, root + "/") == 0) {
            std::string& entry = out[path.substr(root.size() + 1)];
            entry = n.folder ? "<dir>" : std::string(n.data->begin(), n.data->end());
            if (stamps && !n.folder)
                entry += " " + std::to_string(n.mtime) + (n.readOnly ? " ro" : "") +
                         (n.hidden ? " hidden" : "");
        }
    }
    return out;
}

const std::string kUtf8Name = "r\xC3\xA9sum\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.txt";

MemoryFs sampleTree() {
    MemoryFs fs;
    fs.addFolder("/src");
    fs.addFolder("/src/sub");
    fs.addFolder("/src/sub/deeper");
    fs.addFolder("/src/empty");
    fs.addFile("/src/a.txt", bytesOf("hello"), 1500000000);
    fs.addFile("/src/zero", {});
    fs.addFile("/src/sub/" + kUtf8Name, bytesOf("unicode"));
    fs.addFile("/src/sub/deeper/" + std::string(150, 'n') + ".bin", patterned(70000));
    // A path over 100 bytes that still fits the plain header's prefix field.
    fs.addFolder("/src/" + std::string(120, 'p'));
    fs.addFile("/src/" + std::string(120, 'p') + "/split.txt", bytesOf("split"));
    fs.addFile("/src/random.bin", patterned(300000, 9));
    fs.addFile("/src/text.txt", Bytes(200000, 'x'));
    fs.addFile("/src/hidden.ini", bytesOf("h")).hidden = true;
    fs.addFile("/src/readonly.txt", bytesOf("r")).readOnly = true;
    return fs;
}

// A link in the folder is neither packed nor followed.
TEST(Archive, RoundTripKeepsNamesFoldersTimesAndAttributes) {
    MemoryFs fs = sampleTree();
    auto expected = tree(fs, "/src", true);
    fs.addLink("/src/junction");
    fs.addFile("/src/junction/outside.txt", bytesOf("must not be packed"));
    extractStream(fs, pack(fs, "/src"), "/out");
    EXPECT_EQ(tree(fs, "/out", true), expected);
}

TEST(Archive, HostileEntryNamesAreRefused) {
    const char* bad[] = {"../evil.txt",  "a/../../evil.txt", "/etc/evil",       "\\abs\\evil",
                         "C:\\evil.txt", "C:evil.txt",       "file.txt:stream", "CON",
                         "sub/nul.txt",  "LPT1.log",         "trailing./x",     "a/b<c",
                         "..\\evil"};
    // Each name in the header, in a pax "path" record and in a long-name record.
    for (const char* name : bad) {
        for (const char* carrier : {"header", "pax", "long name"}) {
            MemoryFs fs;
            fs.addFolder("/dest");
            std::vector<RawEntry> entries{{"ok.txt", '0', "fine"}};
            if (carrier == std::string("pax"))
                entries.push_back({"PaxHeaders/x", 'x', paxRecord("path", name)});
            if (carrier == std::string("long name"))
                entries.push_back({"././@LongLink", 'L', std::string(name) + '\0'});
            entries.push_back(
                {carrier == std::string("header") ? name : "innocent.txt", '0', "evil"});
            EXPECT_THROW(extractStream(fs, gzip(rawTar(entries)), "/dest"), AppError)
                << name << carrier;
            EXPECT_THAT(fs.paths(), ::testing::ElementsAre("/", "/dest")) << name << carrier;
        }
    }
}

// Link and device entries, a link in the destination, damaged streams: each
// refused, with nothing written and a destination made for it removed again.
TEST(Archive, RefusedStreamsLeaveTheDestinationAsItWas) {
    MemoryFs src = sampleTree();
    const Bytes good = pack(src, "/src");
    Bytes junk = good, flipped = good;
    junk.push_back(0x42);
    flipped[flipped.size() / 3] ^= 0x10;
    struct Row {
        std::string name;
        Bytes stream;
        bool linkInDest = false;
        const char* said = ""; // in the error's description
    };
    std::vector<Row> rows = {
        {"truncated",
         Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2))},
        {"junk after the end", junk},
        {"no end blocks", gzip(rawTar({{"a.txt", '0', "a"}}, false))},
        {"a flipped bit", flipped},
        {"through a link in the destination", gzip(rawTar({{"sub/x.txt", '0', "x"}})), true}};
    for (char type : {'1', '2', '3', '4', '6'})
        rows.push_back({std::string("entry type ") + type,
                        gzip(rawTar({{"link", type, "", "/etc/passwd"}})), false, "\"link\""});
    for (const Row& row : rows) {
        MemoryFs fs;
        if (row.linkInDest) {
            fs.addFolder("/dest");
            fs.addLink("/dest/sub");
        }
        const auto before = fs.paths();
        EXPECT_THAT([&] { extractStream(fs, row.stream, "/dest"); }, failsSaying(row.said))
            << row.name;
        EXPECT_EQ(fs.paths(), before) << row.name;
    }
}

TEST(Archive, FilesThatChangeWhileBeingPackedStopTheRun) {
    // Small files are read whole by the openers, large ones streamed.
    const Bytes large = patterned(3 << 20);
    const struct {
        const char* what;
        Bytes listed, read;
    } rows[] = {
        {"a small file that shrank", bytesOf("0123456789"), bytesOf("0123")},
        {"a small file that grew", bytesOf("abc"), bytesOf("abcdefgh")},
        {"a large file that shrank", large, Bytes(large.begin(), large.end() - 1)},
        {"a large file that grew", large, patterned((3 << 20) + 1)},
    };
    for (const auto& row : rows) {
        MemoryFs fs;
        fs.addFolder("/src");
        fs.addFile("/src/after.txt", bytesOf("still here"));
        fs.addFile("/src/changing.bin", row.listed);
        fs.changedOnOpen["/src/changing.bin"] = row.read;
        EXPECT_THAT([&] { pack(fs, "/src"); }, failsSaying("/src/changing.bin\" changed"))
            << row.what;
    }
    // Unchanged, they pack; one that another program holds open stops the
    // packing with its own error.
    MemoryFs fs;
    fs.addFolder("/src");
    fs.addFile("/src/small.txt", bytesOf("abc"));
    fs.addFile("/src/large.bin", large);
    extractStream(fs, pack(fs, "/src"), "/out");
    EXPECT_EQ(fs.file("/out/large.bin"), large);
    fs.locked.insert("/src/small.txt");
    EXPECT_THAT([&] { pack(fs, "/src"); },
                ::testing::Throws<AppError>(::testing::Property(&AppError::number, 32)))
        << "a locked file was skipped silently";
}

// Files in the way are replaced only when every entry succeeds, a read-only
// one never; a name that only looks like the user's file never costs it.
TEST(Archive, FilesInTheWayAreReplacedOnlyWhenAllSucceeds) {
    MemoryFs fs;
    fs.addFolder("/dest");
    fs.addFile("/dest/a.txt", bytesOf("old a"), 1234);
    fs.addFile("/dest/locked.txt", bytesOf("protected")).readOnly = true;
    const auto before = fs.paths();
    const auto refused = [&](std::vector<RawEntry> entries) {
        EXPECT_THROW(extractStream(fs, gzip(rawTar(entries)), "/dest"), AppError);
        EXPECT_EQ(fs.paths(), before);
        EXPECT_EQ(fs.file("/dest/a.txt"), bytesOf("old a"));
    };
    // A later entry is refused: the file already replaced comes back.
    refused({{"a.txt", '0', "new a"}, {"../x", '0', "evil"}});
    EXPECT_EQ(fs.nodes["/dest/a.txt"].mtime, 1234);
    // A read-only file is one the user protected: never replaced.
    refused({{"a.txt", '0', "new a"}, {"locked.txt", '0', "x"}});
    EXPECT_EQ(fs.file("/dest/locked.txt"), bytesOf("protected"));
    // A name twice in one archive, and "A.txt" beside "a.txt" (this file
    // system tells case apart, as a case-sensitive folder does): a rollback
    // once the files are written leaves nothing of either.
    refused({{"twice.txt", '0', "1"}, {"twice.txt", '0', "2"}, {"locked.txt", '0', "x"}});
    refused({{"A.txt", '0', "upper"}, {"a.txt", '0', "lower"}, {"locked.txt", '0', "x"}});
    // Success: the new content, the later of a name twice, and nothing of the
    // old one set aside, not even for an entry named as a set-aside file.
    fs.remove("/dest/locked.txt");
    extractStream(fs,
                  gzip(rawTar({{"a.txt", '0', "new"},
                               {"a.txt.~twold1.tmp", '0', "entry"},
                               {"A.txt", '0', "upper"},
                               {"twice.txt", '0', "1"},
                               {"twice.txt", '0', "2"}})),
                  "/dest");
    EXPECT_EQ(tree(fs, "/dest"), (std::map<std::string, std::string>{{"A.txt", "upper"},
                                                                     {"a.txt", "new"},
                                                                     {"a.txt.~twold1.tmp", "entry"},
                                                                     {"twice.txt", "2"}}));
}

TEST(Archive, PaxRecordsCarryLongNamesAndSizesOverTheHeaderFields) {
    // A name over 255 bytes cannot be said in the plain header fields.
    MemoryFs fs;
    fs.addFolder("/src");
    std::string longName(300, 'L');
    fs.addFile("/src/" + longName, bytesOf("long"));
    extractStream(fs, pack(fs, "/src"), "/out");
    EXPECT_EQ(fs.file("/out/" + longName), bytesOf("long"));

    // A record's size over 8 GiB (more than the header's octal field holds,
    // and than 32 bits) wins over the header's 3: read as such, the stream
    // ends long before the entry and is refused.
    RawEntry huge{"big.bin", '0', "abc"};
    huge.size = 3;
    EXPECT_THROW(
        extractStream(fs,
                      gzip(rawTar({{"PaxHeaders/x", 'x', paxRecord("size", "8589934593")}, huge})),
                      "/big"),
        AppError);
    EXPECT_FALSE(fs.has("/big"));
}

} // namespace

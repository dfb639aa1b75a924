// Fuzz target: the archive reader. Bit 0 of the first byte chooses whether the
// rest is the compressed stream itself or tar data we compress first, so that
// the tar parser is reached as often as the inflater. Whatever the input,
// nothing may be written outside the destination.
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "archive_tar_helpers.h"
#include "filesecurity/archive/archive.h"
#include "fuzz_seeds.h"
#include "kernel/app_error.h"

using namespace tidewell;
using namespace tidewell::testing_fs;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    Bytes stream(data + 1, data + size);
    if (data[0] & 1)
        stream = gzip(stream);
    MemoryFs fs;
    try {
        extractStream(fs, stream, "/dest", stream.size() + 1);
    } catch (const AppError&) {
    }
    for (const std::string& p : fs.paths()) {
        if (p != "/" && p != "/dest" && p.rfind("/dest/", 0) != 0)
            std::abort();
    }
    return 0;
}

std::vector<std::vector<std::uint8_t>> tidewellFuzzSeeds() {
    Bytes tar =
        rawTar({{"a.txt", '0', "hello"}, {"dir/", '5'}, {"dir/b.bin", '0', std::string(700, 'b')}});
    Bytes raw = tar;
    raw.insert(raw.begin(), 1);
    Bytes packed = gzip(tar);
    packed.insert(packed.begin(), 0);
    return {raw, packed};
}

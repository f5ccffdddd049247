// The recipe-mark helper's arguments, which any local user chooses, and the marks it reads
// back: whatever comes in, only a raise of a lower-case hex name to a sequence of at most 2^53
// comes out, its path stays inside the marks folder, and a refusal always says why.

#include "fuzz_support.h"

#include "mark-helper/mark_request.h"

#include <algorithm>
#include <string_view>

using namespace posflash::mark_helper;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto mark = ParseStoredMark(text))
        FUZZ_CHECK(std::to_string(*mark) + "\n" == text && *mark <= kMaxSequence);

    // The arguments, one per line.
    std::vector<std::string_view> args;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        args.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    const ParsedMarkRequest parsed = ParseMarkRequest(args);
    if (!parsed.request) {
        FUZZ_CHECK(!parsed.refusal.empty());
        return 0;
    }
    const MarkRequest& r = *parsed.request;
    FUZZ_CHECK(args.size() == 3 && args[0] == "raise");
    FUZZ_CHECK(std::to_string(r.sequence) == args[2] && r.sequence <= kMaxSequence);
    FUZZ_CHECK(r.nameHex.size() >= 2 && r.nameHex.size() <= 512 && r.nameHex.size() % 2 == 0);
    FUZZ_CHECK(r.nameHex.find_first_not_of("0123456789abcdef") == std::string::npos);
    std::string joined;
    const std::vector<std::string> path = MarkPath(r.nameHex);
    for (std::size_t i = 0; i < path.size(); ++i) {
        const bool last = i + 1 == path.size();
        FUZZ_CHECK(!path[i].empty() && path[i].size() <= kPieceSize + 1);
        FUZZ_CHECK((path[i].back() == '+') != last);
        joined += last ? path[i] : path[i].substr(0, path[i].size() - 1);
    }
    FUZZ_CHECK(joined == r.nameHex);
    return 0;
}

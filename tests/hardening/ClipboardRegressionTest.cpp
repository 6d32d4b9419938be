// Clipboard bodies that once made the decoders hand on a path other than the one offered.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ClipboardReader.h"

namespace ferrymark {
namespace {

using Paths = std::vector<std::string>;
using namespace std::string_literals;

// A raw NUL cannot stand in a file name: a path holding one reaches the file system cut
// short at the NUL, naming another item (here the folder /home/u/Documents itself, which
// a Move would then remove). Such a URI must be left out like an escaped %00.
struct NulCase {
    const char* label;
    std::string body;
    Paths want;
};

void PrintTo(const NulCase& c, std::ostream* out) {
    *out << c.label;
}

class RawNul : public ::testing::TestWithParam<NulCase> {};

TEST_P(RawNul, UriIsLeftOutNotCutShort) {
    const NulCase& c = GetParam();
    const auto copied = ClipboardReader::decodeCopiedFiles(c.body);
    const Paths fromUriList = ClipboardReader::decodeUriList(c.body);
    const Paths got = copied ? copied->paths : fromUriList;
    EXPECT_EQ(got, c.want);
}

INSTANTIATE_TEST_SUITE_P(
    ClipboardRegression, RawNul,
    ::testing::Values(
        NulCase{"copied_files",
                "copy\nfile:///home/u/Documents\0/../x.txt\nfile:///a.txt"s,
                {"/a.txt"}},
        NulCase{"uri_list", "file:///home/u/Documents\0.txt\r\nfile:///a.txt\r\n"s, {"/a.txt"}},
        NulCase{"localhost", "file://localhost/tmp/a\0b\r\n"s, {}},
        NulCase{"fuzz_minimised", "file:/\0"s, {}}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace ferrymark

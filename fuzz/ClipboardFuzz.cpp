// The clipboard decoders on arbitrary bytes: every target body, the whole decode, and a
// round trip of arbitrary file names through both list formats.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/ClipboardReader.h"
#include "fuzz/FuzzRequire.h"

using ferrymark::ClipboardReader;
using ferrymark::CopiedFiles;
using ferrymark::fuzz::escaped;
using ferrymark::fuzz::require;

namespace {

void requireLocalPaths(const std::vector<std::string>& paths, std::string_view body) {
    std::size_t lines = 1;
    for (char c : body) {
        lines += c == '\n';
    }
    require(paths.size() <= lines, "more paths than lines");
    for (const auto& path : paths) {
        require(!path.empty() && path[0] == '/', "a decoded path is not absolute", escaped(path));
        require(path.find('\0') == std::string::npos, "a decoded path holds a NUL", escaped(path));
    }
}

QByteArray bytes(std::string_view text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

// Every target offered with the same body: the copied-files target wins when it parses.
void checkWholeDecode(std::string_view body) {
    const auto asGnome = ClipboardReader::decodeCopiedFiles(body);
    const auto uriList = ClipboardReader::decodeUriList(body);
    int asked = 0;
    const CopiedFiles all = ClipboardReader::decode([&](const QString&) {
        ++asked;
        return std::optional<QByteArray>(bytes(body));
    });
    require(asked <= 4, "a target was asked for more than once");
    if (asGnome) {
        require(all.paths == asGnome->paths && all.cut == asGnome->cut,
                "decode differs from the copied-files body it preferred");
    } else {
        require(all.paths == uriList, "decode differs from the uri-list body");
        require(all.cut == (!uriList.empty() && ClipboardReader::decodeCutSelection(body)),
                "a cut mark read wrongly");
    }

    // Only a uri-list and nothing else: never a cut.
    const CopiedFiles plain =
        ClipboardReader::decode([&](const QString& target) -> std::optional<QByteArray> {
            if (target == ClipboardReader::kUriList) {
                return bytes(body);
            }
            return std::nullopt;
        });
    require(plain.paths == uriList && !plain.cut, "a lone uri-list decoded wrongly");
}

bool unreserved(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

// What a file manager offers for a path: every byte but the unreserved ones and '/'
// escaped; upper or lower hex digits and the "localhost" host as the input picks.
std::string fileUri(const std::string& path, std::size_t index) {
    static const char upper[] = "0123456789ABCDEF";
    static const char lower[] = "0123456789abcdef";
    const char* hex = index % 3 == 1 ? lower : upper;
    std::string uri = index % 4 == 2 ? "file://localhost" : "file://";
    for (unsigned char c : path) {
        if (unreserved(c) || c == '/') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri;
}

// The input as NUL-separated names, each an absolute path: any byte but NUL may stand in
// a name, newlines and invalid UTF-8 included, and must come back unchanged.
void checkRoundTrip(std::string_view input) {
    std::vector<std::string> paths;
    std::size_t start = 0;
    while (start <= input.size() && paths.size() < 64) {
        const auto end = input.find('\0', start);
        const auto stop = end == std::string_view::npos ? input.size() : end;
        paths.push_back("/" + std::string(input.substr(start, stop - start)));
        start = stop + 1;
    }
    const bool cut = !input.empty() && (input[0] & 1);
    std::string gnome = cut ? "cut" : "copy";
    std::string uriList = "# offered by the fuzzer\r\n";
    for (std::size_t i = 0; i < paths.size(); ++i) {
        gnome += "\n" + fileUri(paths[i], i);
        uriList += fileUri(paths[i], i) + "\r\n";
    }

    const auto fromGnome = ClipboardReader::decodeCopiedFiles(gnome);
    require(fromGnome.has_value(), "an encoded copied-files body was refused");
    require(fromGnome->paths == paths, "names changed through a copied-files body",
            escaped(std::string(input)));
    require(fromGnome->cut == cut, "copy and cut mixed up");
    require(ClipboardReader::decodeUriList(uriList) == paths, "names changed through a uri-list",
            escaped(std::string(input)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);

    if (const auto files = ClipboardReader::decodeCopiedFiles(body)) {
        requireLocalPaths(files->paths, body);
    }
    requireLocalPaths(ClipboardReader::decodeUriList(body), body);
    ClipboardReader::decodeCutSelection(body);
    checkWholeDecode(body);
    checkRoundTrip(body);
    return 0;
}

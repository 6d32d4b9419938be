#include "engine/UniqueTargetPath.h"

#include <boost/filesystem.hpp>
#include <boost/lexical_cast.hpp>

#include "engine/PathPresence.h"

namespace fs = boost::filesystem;

namespace ferrymark {
namespace {

bool taken(const fs::path& candidate) {
    std::error_code error;
    switch (destinationPresence(candidate.string(), &error)) {
        case Presence::Absent:
            return false;
        case Presence::Present:
            return true;
        case Presence::Unknown:
            break;
    }
    throw fs::filesystem_error(
        "cannot examine a free name", candidate,
        boost::system::error_code(error.value(), boost::system::generic_category()));
}

}  // namespace

std::string uniqueTargetPath(const std::string& destination) {
    const fs::path path(destination);
    const fs::path parent = path.parent_path();
    const std::string stem = path.stem().string();
    const std::string extension = path.extension().string();

    static const std::string kCopy = " copy";
    const auto cut = stem.rfind(kCopy);
    const std::string base = cut == std::string::npos ? stem : stem.substr(0, cut);

    fs::path candidate = parent / (base + kCopy + extension);
    for (std::uint64_t counter = 2; taken(candidate); ++counter) {
        candidate =
            parent / (base + kCopy + " " + boost::lexical_cast<std::string>(counter) + extension);
    }
    return candidate.string();
}

}  // namespace ferrymark

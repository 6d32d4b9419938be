#pragma once

#include <optional>
#include <string>
#include <utility>

namespace ferrymark {

// The folder a file manager would put new items into, or why there is none.
struct InsertionLocation {
    // An absolute local folder path as raw bytes; empty when there is no location.
    std::optional<std::string> path;
    // Why there is no location, for the log; empty when path is set.
    std::string whyNot;

    static InsertionLocation at(std::string path) { return {std::move(path), {}}; }
    static InsertionLocation none(std::string why) { return {std::nullopt, std::move(why)}; }
};

}  // namespace ferrymark

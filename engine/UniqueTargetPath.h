#pragma once

#include <string>

namespace ferrymark {

// The first free variant of an occupied path in the same folder: "name copy.ext", then
// "name copy 2.ext", ... Anything present counts as taken, a dangling link included.
// Throws boost::filesystem::filesystem_error when a candidate cannot be examined.
std::string uniqueTargetPath(const std::string& destination);

}  // namespace ferrymark

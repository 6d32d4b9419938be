#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ferrymark {

// A name conflict put off until every other item has been placed.
struct DeferredConflict {
    std::string source;
    std::string destination;
    bool isDirectory = false;
    // Index in the job's source list of the item this conflict belongs to, so that a Move
    // keeps that source when the conflict ends with nothing copied.
    std::size_t sourceIndex = 0;
};

// Placement only appends; the driver reads by index and rereads the size before each record.
using DeferredConflictList = std::vector<DeferredConflict>;

}  // namespace ferrymark

#pragma once

#include <string>

#include "DeferredConflict.h"

namespace ferrymark {

class CopyHandler;

// Whether source is placed as a folder: links are followed, unless the job keeps them.
bool placedAsFolder(const std::string& source, const CopyHandler& job);

// Each returns true to go on, false when the job has been cancelled.

// Places a non-folder source at destination, applying the job's file conflict policy.
bool placeFile(const std::string& source, const std::string& destination,
               DeferredConflictList& conflicts, CopyHandler& job);

// Places a folder source at destination, applying the job's folder conflict policy.
bool placeDirectory(const std::string& source, const std::string& destination,
                    DeferredConflictList& conflicts, CopyHandler& job);

// Creates destination and copies the whole tree below source into it. Asks nothing.
bool copyTree(const std::string& source, const std::string& destination, CopyHandler& job);

}  // namespace ferrymark

#pragma once

#include <string>

namespace ferrymark {

// The user's private folder for Ferrymark's own records: $XDG_STATE_HOME/ferrymark, else
// <home>/.local/state/ferrymark with the home from HOME or, without it, from the password
// database. It is used only when it is a real folder owned by this user and open to
// nobody else: a folder another user made first could steer what a job removes.
class StateFolder {
  public:
    // The folder opened (made where missing), or -1 with why in reason (left empty when it
    // is not there and create is false: nothing was kept yet).
    static int open(bool create, std::string& reason);
    // Where it would be; empty when no home is known.
    static std::string path();
};

}  // namespace ferrymark

#pragma once

#include "engine/ItemFacts.h"

namespace ferrymark {

// Which of a conflict's two items is the newer and which the larger, as far as their facts
// tell, and whether the two look identical.
struct ItemComparison {
    enum class Side { Neither, Existing, Incoming };

    Side newer = Side::Neither;
    Side larger = Side::Neither;
    // Two files of the same size and modification time (to the second, as file systems
    // that keep no finer times store a copy).
    bool identical = false;

    static ItemComparison of(const ItemFacts& existing, const ItemFacts& incoming);
};

}  // namespace ferrymark

#include "engine/ItemComparison.h"

namespace ferrymark {
namespace {

using Kind = ItemFacts::Kind;

// Whether a holds more bytes than b for certain: bytes counted so far are a lower bound.
bool surelyLarger(const ItemFacts& a, const ItemFacts& b) {
    return b.sizeIsExact() && a.size > b.size;
}

bool hasSize(const ItemFacts& item) {
    return item.kind == Kind::File || item.kind == Kind::Folder;
}

}  // namespace

ItemComparison ItemComparison::of(const ItemFacts& existing, const ItemFacts& incoming) {
    ItemComparison result;
    if (existing.kind == Kind::Absent || incoming.kind == Kind::Absent) {
        return result;
    }
    if (existing.modified != incoming.modified) {
        result.newer = existing.modified > incoming.modified ? Side::Existing : Side::Incoming;
    }
    if (hasSize(existing) && hasSize(incoming)) {
        if (surelyLarger(existing, incoming)) {
            result.larger = Side::Existing;
        } else if (surelyLarger(incoming, existing)) {
            result.larger = Side::Incoming;
        }
    }
    result.identical = existing.kind == Kind::File && incoming.kind == Kind::File &&
                       existing.size == incoming.size && existing.modified == incoming.modified;
    return result;
}

}  // namespace ferrymark

#include "ui/FCUtility.h"

namespace ferrymark {

std::string FCUtility::dataSizeToString(std::int64_t) { return {}; }

std::string FCUtility::timeIntervalToStringWithInterval(double) { return {}; }

}  // namespace ferrymark

#pragma once

#include <stdexcept>
#include <string>

namespace ferrymark {

// An exception that carries a name besides its reason, so that a handler can tell kinds
// apart by name: a hot-key action declines its event by throwing one with the name
// GlobalEventHandler::kUnhandledExceptionName.
class NamedException : public std::runtime_error {
  public:
    NamedException(std::string name, const std::string& reason)
        : std::runtime_error(reason), name_(std::move(name)) {}

    const std::string& name() const noexcept { return name_; }

  private:
    std::string name_;
};

}  // namespace ferrymark

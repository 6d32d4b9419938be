#include "FakeJobHost.h"

#include "ui/CutCopyWController.h"

namespace ferrymark::testing {
namespace {

class IdleHeartbeat final : public IHeartbeat {
  public:
    void invalidate() override {}
};

}  // namespace

std::unique_ptr<IHeartbeat> FakeJobHost::startHeartbeat(std::function<void()>) {
    return std::make_unique<IdleHeartbeat>();
}

std::unique_ptr<IProgressView> FakeJobHost::makeProgressView(ICopyHandler& job) {
    auto controller = std::make_unique<CutCopyWController>(&job);
    view = controller.get();
    return controller;
}

}  // namespace ferrymark::testing

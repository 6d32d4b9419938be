#include "AnnotatedQtHost.h"

#include <memory>

#include "ui/QtJobHost.h"

#if defined(__SANITIZE_THREAD__)
#define FERRYMARK_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define FERRYMARK_TSAN 1
#endif
#endif

#ifdef FERRYMARK_TSAN
extern "C" {
void __tsan_acquire(void* address);
void __tsan_release(void* address);
void __tsan_ignore_thread_begin();
void __tsan_ignore_thread_end();
}
#endif

namespace ferrymark::test {

AnnotatedQtHost::AnnotatedQtHost(QtJobHost& host)
    : host_(host), uiThread_(std::this_thread::get_id()) {}

void AnnotatedQtHost::runOnUiThread(const std::function<void()>& work) {
    if (std::this_thread::get_id() == uiThread_) {
        work();
        return;
    }
#ifdef FERRYMARK_TSAN
    // One sync object per hand-over. What the UI thread reads before it can acquire (the
    // queued call Qt builds, the function it calls) is made while the sanitizer looks
    // away, on the heap, where no earlier use of the memory is remembered.
    char handOver = 0;
    struct Release {
        char* at;
        ~Release() { __tsan_release(at); }
    };
    __tsan_release(&handOver);
    __tsan_ignore_thread_begin();
    auto call = std::make_unique<std::function<void()>>([&] {
        __tsan_acquire(&handOver);
        const Release done{&handOver};
        work();
    });
    struct Resume {
        char* at;
        ~Resume() {
            __tsan_ignore_thread_end();
            __tsan_acquire(at);
        }
    };
    const Resume resume{&handOver};
    host_.runOnUiThread(*call);
#else
    host_.runOnUiThread(work);
#endif
}

// Whatever reaches the UI thread goes through the one annotated hand-over above.
PromptAnswer AnnotatedQtHost::showPrompt(const Prompt& prompt) {
    PromptAnswer answer;
    runOnUiThread([&] { answer = host_.showPrompt(prompt); });
    return answer;
}

std::unique_ptr<IHeartbeat> AnnotatedQtHost::startHeartbeat(std::function<void()> tick) {
    std::unique_ptr<IHeartbeat> heartbeat;
    runOnUiThread([&] { heartbeat = host_.startHeartbeat(std::move(tick)); });
    return heartbeat;
}

std::unique_ptr<IProgressView> AnnotatedQtHost::makeProgressView(ICopyHandler& job) {
    std::unique_ptr<IProgressView> view;
    runOnUiThread([&] { view = host_.makeProgressView(job); });
    return view;
}

void AnnotatedQtHost::activateApplication() {
    runOnUiThread([&] { host_.activateApplication(); });
}

void AnnotatedQtHost::deactivateApplication() {
    runOnUiThread([&] { host_.deactivateApplication(); });
}

void AnnotatedQtHost::log(const std::string& line) {
    host_.log(line);
}

}  // namespace ferrymark::test

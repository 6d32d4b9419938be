#pragma once

namespace ferrymark {

class CopyHandler;

// Confirms the copies a job wrote since the last confirmation: flushes each file system
// through the handle the job holds on it and, when the job reads its copies back, drops
// each copy from the page cache, reads it from the device and compares it with its
// original. Copies that are not confirmed go into the job's report and keep their
// originals. Pause and stop act between reads; a stopped check confirms nothing more.
class CopyConfirmation {
  public:
    static void confirm(CopyHandler& job);
};

}  // namespace ferrymark

// The controller's holder of the registered-user store, with the progress of the album file
// operation that is running on it. The progress is read by the progress bar's thread while the
// album thread works, hence the atomics.
#pragma once

#include <atomic>

#include "registration/reg_user_info_mngr.h"

namespace qzm {

class CRegUserStore {
public:
    CRegUserStore() = default;
    CRegUserStore(const CRegUserStore&) = delete;
    CRegUserStore& operator=(const CRegUserStore&) = delete;
    virtual ~CRegUserStore() = default;

    CRegUserInfoMngr& Users() { return users_; }
    const CRegUserInfoMngr& Users() const { return users_; }

    // Finishes a restore of ./DB that a crash broke off, then loads the store (see
    // CRegUserInfoMngr::Load). Called once at start-up.
    int Load();

    // Items (data records) the running album file operation handles, and those done so far.
    int TotalCount() const { return totalCount_.load(); }
    int DoneCount() const { return doneCount_.load(); }
    // Done / total in 0..1; 0 while nothing is to be done, so no caller divides by zero.
    double ProgressFraction() const;

    void StartProgress(int total);
    void AdvanceProgress() { doneCount_.fetch_add(1); }
    // A load ends with nothing done, so that the next operation does not start from its fraction.
    void EndProgress() { doneCount_.store(0); }

private:
    CRegUserInfoMngr users_;
    std::atomic<int> totalCount_{0};
    std::atomic<int> doneCount_{0};
};

}  // namespace qzm

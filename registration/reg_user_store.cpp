#include "registration/reg_user_store.h"

#include <algorithm>

#include "registration/album_file.h"

namespace qzm {

int CRegUserStore::Load() {
    FinishInterruptedRestore();
    return users_.Load();
}

double CRegUserStore::ProgressFraction() const {
    const int total = totalCount_.load();
    if (total <= 0) {
        return 0.0;
    }
    return std::clamp(static_cast<double>(doneCount_.load()) / total, 0.0, 1.0);
}

void CRegUserStore::StartProgress(int total) {
    doneCount_.store(0);
    totalCount_.store(total);
}

}  // namespace qzm

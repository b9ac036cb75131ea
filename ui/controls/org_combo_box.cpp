#include "ui/controls/org_combo_box.h"

namespace qzm {

int COrgComboBox::SelectByItemData(int data) {
    const int index = findData(data);
    if (index >= 0) {
        setCurrentIndex(index);
    }
    return index;
}

}  // namespace qzm

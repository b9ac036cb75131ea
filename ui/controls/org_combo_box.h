// A combo box whose items carry int data (a code) and are selected by it.
#pragma once

#include <QComboBox>

namespace qzm {

class COrgComboBox : public QComboBox {
    Q_OBJECT

public:
    using QComboBox::QComboBox;

    // Selects the first item whose data equals data and returns its index; -1 and the selection
    // left as it was when no item has that data.
    int SelectByItemData(int data);
    // The current text.
    QString GetText() const { return currentText(); }
};

}  // namespace qzm

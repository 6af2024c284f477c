#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QRadioButton;

namespace twl {

// Confirms deleting the entry shown in the entry form, or every entry of its exhibitor number.
// OK is enabled only after a key press with ALT alone, so that no stray Enter or click deletes.
class DelExh : public QDialog {
    Q_OBJECT
public:
    struct ShownEntry {
        QString exhibitorNo;
        QString exhibitorName;
        QString classNo;
    };

    explicit DelExh(const ShownEntry& entry, QWidget* parent = nullptr);

    // OK was pressed: the delete goes ahead.
    bool confirmed() const { return m_confirmed; }
    // "Delete all entries for this Exh. Number" was chosen.
    bool deleteAll() const { return m_deleteAll; }

private:
    void chooseAll(bool all);

    bool m_confirmed = false;
    bool m_deleteAll = false;
    QLabel* m_name = nullptr;
    QLabel* m_class = nullptr;
    QLabel* m_allName = nullptr;
    QLabel* m_allClass = nullptr;
};

} // namespace twl

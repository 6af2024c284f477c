#pragma once

#include "entries/SearchRules.h"

#include <QDialog>
#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace twl {

class BlinkingMarker;

// The simple search: one text and the entry fields to look for it in. OK builds the filter; a
// number field ticked with a text that is not a number keeps the dialog open with a blinking
// dot beside that box.
class SearchDlg : public QDialog {
    Q_OBJECT
public:
    explicit SearchDlg(QWidget* parent = nullptr);

    // Cancel, Esc or the close box: no search is made.
    bool cancelled() const { return m_cancelled; }
    // After OK: the text searched for and the filter (empty for an empty text: every entry).
    const QString& searchText() const { return m_searchText; }
    const QString& searchFilter() const { return m_searchFilter; }

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void updateOkButton();
    void search();
    void markInvalid(int box);

    QLineEdit* m_text = nullptr;
    std::array<QCheckBox*, SearchFieldCount> m_boxes{};
    QPushButton* m_ok = nullptr;
    BlinkingMarker* m_errorDot = nullptr;
    bool m_cancelled = false;
    QString m_searchText;
    QString m_searchFilter;
};

} // namespace twl

#pragma once

#include "common/widgets/DialogClosing.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace twl {
struct Services;
}

namespace reports {

// The choice of the ended class whose payout sheet is printed. Only classes with payout rows
// are listed; choosing one sets PayoutClass and shows its name; OK keeps the skip-preview choice
// in the settings. With no class to list the dialog says so and closes itself as soon as it is
// shown, counting as cancelled.
class PayOutSht : public QDialog {
    Q_OBJECT
public:
    explicit PayOutSht(twl::Services& services, QWidget* parent = nullptr);

    // True unless the dialog was closed with OK.
    bool cancelled() const { return m_result.cancelled(); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void loadClasses();
    void chooseClass(const QString& text);
    void confirm();

    twl::Services& m_services;
    twl::DialogResult m_result{*this};
    QListWidget* m_classList = nullptr;
    QLabel* m_className = nullptr;
    QCheckBox* m_skipPreview = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace reports

#pragma once

#include "common/Services.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace twl {

class ScheduleGrid;

// The organisation's payout schedule with its payout scheme and minimum-exhibitor rule. Every
// accepted cell is written at once; the scheme, "Minimum Exhibitors" and "If below multiply by"
// are written by Done. Closed any other way, the screen leaves the three settings as they were,
// in the file and in memory.
class PayOutFrm : public QDialog {
    Q_OBJECT
public:
    explicit PayOutFrm(Services& services, QWidget* parent = nullptr);
    ~PayOutFrm() override;

    void done(int result) override;

private:
    void buildSettings(int top);
    void readSettings();
    void chooseScheme(bool isPercent);
    bool saveSettings();
    void cellTextChanged();
    void enableDone();

    Services& m_services;
    ScheduleGrid* m_schedule = nullptr;
    QLineEdit* m_minExh = nullptr;
    QLineEdit* m_minMultiP = nullptr;
    QRadioButton* m_dollarOption = nullptr;  // Option1(0)
    QRadioButton* m_percentOption = nullptr; // Option1(1)
    QPushButton* m_doneBut = nullptr;
    QTimer* m_cshClkTimer = nullptr;
    bool m_openedPercent = false; // the scheme in the file when the screen opened
    bool m_saved = false;
};

} // namespace twl

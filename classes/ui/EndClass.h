#pragma once

#include "common/Services.h"
#include "common/widgets/DialogClosing.h"

#include <QDialog>
#include <QString>
#include <memory>

class QLabel;
class QListWidget;
class QPushButton;
class QTimer;

namespace twl {

class EndClassWriter;

// Ends the chosen class: points, season totals, payouts and the class log, with no undo. The End
// button stays disabled until a key is pressed with ALT (and no other modifier) on the screen.
class EndClass : public QDialog {
    Q_OBJECT
public:
    explicit EndClass(Services& services, QWidget* parent = nullptr);
    ~EndClass() override;

    const QString& classNumber() const { return m_classNumber; }

    // True when no class could be offered: the screen closes itself once shown.
    bool gaveUp() const { return m_result.gaveUp(); }

    void done(int result) override;

private:
    void buildControls();
    void buildInformation();
    void loadClassList();
    void chooseClass(const QString& classNumber);
    void endThisClass();
    void prepareWriter();

    Services& m_services;
    DialogResult m_result{*this};
    QString m_classNumber = QStringLiteral("0");
    QListWidget* m_classList = nullptr;
    QLabel* m_nameLabel = nullptr;    // Label2(0)
    QLabel* m_numberLabel = nullptr;  // Label2(1)
    QLabel* m_winnersLabel = nullptr; // Label2(2)
    QPushButton* m_endClss = nullptr;
    QPushButton* m_canBut = nullptr;
    QTimer* m_refocusListTimer = nullptr;
    // Made when the screen opens: attaching the organisation file takes a moment.
    std::unique_ptr<EndClassWriter> m_writer;
};

} // namespace twl

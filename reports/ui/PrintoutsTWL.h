#pragma once

#include "common/widgets/DialogClosing.h"

#include <QDialog>
#include <map>
#include <optional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace twl {
struct Services;
}

namespace reports {

// The report selection of the Print Menu: the kind of report, the title-sheet choice and, for
// the exhibitor report and the member profile, whose report it is. OK leaves the choice in the
// report state (and the exhibitor in its work table) for the command to run; Cancel, Escape and
// the window's close box leave the dialog cancelled, and nothing is printed.
class PrintoutsTWL : public QDialog {
    Q_OBJECT
public:
    explicit PrintoutsTWL(twl::Services& services, QWidget* parent = nullptr);
    ~PrintoutsTWL() override;

    bool cancelled() const { return m_result.cancelled(); }
    // The exhibitor shown in the main window: chosen in the list when the exhibitor report is.
    void setCurrentExhibitor(int number);

private:
    enum class ListMode { None, Exhibitors, Members };

    void buildControls();
    bool showOpen() const;
    void chooseOption(int kind);
    void fillNumbers(ListMode mode);
    void pickNumber();
    void selectCurrentExhibitor();
    void setListsEnabled(bool enabled);
    void confirm();
    void reportReadFailure(const QString& what, const QString& reason);

    twl::Services& m_services;
    QGroupBox* m_frame = nullptr;
    std::map<int, QRadioButton*> m_options; // PrnOp(kind), one per report the menu offers
    QCheckBox* m_titleSheet = nullptr;
    QListWidget* m_numbers = nullptr;
    QListWidget* m_names = nullptr;
    QLabel* m_notEnded = nullptr;
    QLabel* m_profileOnly = nullptr;
    QPushButton* m_okBut = nullptr;
    QPushButton* m_canBut = nullptr;
    ListMode m_mode = ListMode::None;
    std::optional<int> m_currentExhibitor;
    twl::DialogResult m_result{*this};
};

} // namespace reports

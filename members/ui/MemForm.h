#pragma once

#include "common/Services.h"
#include "members/MemberRules.h"
#include "store/RecordSet.h"
#include "store/RecordSetModel.h"

#include <QDialog>
#include <array>
#include <functional>
#include <memory>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

namespace twl {

// The member register: the list of all members, one member's sixteen fields in boxes, and
// adding, updating, finding and deleting members. Every write goes to Members_tbl of the
// organisation file (OrgConnString) in one transaction and is followed by a refill of the list.
class MemForm : public QDialog {
    Q_OBJECT
public:
    explicit MemForm(Services& services, QWidget* parent = nullptr);
    ~MemForm() override;

    // The stored number of the member shown in the boxes (empty when none is).
    const QString& shownNumber() const { return m_shownNumber; }
    bool isAdding() const { return m_adding; }
    bool isEditing() const { return m_editing; }
    // The box that failed the last validation, or -1.
    int invalidBox() const { return m_invalid ? m_invalidBox : -1; }

    void done(int result) override;

    // The button "Points Statement" hands the shown member's number to this; it is offered only
    // when this is set.
    void setPointsStatement(std::function<void(const QString& number)> statement);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    enum class ButtonState { Browsing, Adding, Editing, Empty };

    void buildGrid();
    void buildBoxes();
    void buildButtons();
    void buildTimers();
    QPushButton* makeButton(const QString& caption, const QString& name, int left, int top);

    void applyState(ButtonState state);
    void enableBoxes(bool enabled);
    MemberRules::Texts boxTexts() const;
    void fillBoxes(const std::optional<MemberRules::Texts>& texts);

    void fillList();
    void readList();
    int rowOfNumber(const QString& number) const;
    QString numberAt(int row) const;
    void setMarker(int row);
    void chooseRow(int row);
    void chooseFirstRow();
    void selectByNumber(const QString& number);
    void loadChosen();
    int rowUnderPointer(int y) const;
    bool gridEvent(QEvent* event);

    void boxChanged(int box);
    bool boxEvent(int box, QEvent* event);
    void showFrame(int box, const QColor& color);
    void hideFrame();
    void blink();

    bool validate();
    void addNew();
    void storeNew();
    void storeChanges();
    void cancel();
    void find();
    void deleteMember();
    void resetSeason();
    void reportFailure(const QString& what, const QString& message);

    Services& m_services;
    QString m_connection;

    // Declared before the model, which reads it until the model is gone.
    store::RecordSet m_list;
    std::unique_ptr<store::RecordSetModel> m_model;
    QTableView* m_grid = nullptr;
    QLabel* m_count = nullptr;
    std::array<QLineEdit*, MemberRules::FieldCount> m_boxes{};
    QFrame* m_boxFrame = nullptr;
    QLineEdit* m_findBox = nullptr;
    QPushButton* m_findBut = nullptr;
    QPushButton* m_addNewBut = nullptr;
    QPushButton* m_okBut = nullptr;
    QPushButton* m_updBut = nullptr;
    QPushButton* m_canBut = nullptr;
    QPushButton* m_deleteBut = nullptr;
    QPushButton* m_resetBut = nullptr;
    QPushButton* m_statementBut = nullptr;
    std::function<void(const QString&)> m_pointsStatement;
    QPushButton* m_doneBut = nullptr;
    QTimer* m_blinkTimer = nullptr;
    QTimer* m_scrollSettleTimer = nullptr;
    QTimer* m_rowClickTimer = nullptr;

    QString m_shownNumber; // the remembered member: its stored number
    MemberRules::Texts m_loadedTexts{};
    int m_markerRow = -1;
    bool m_adding = false;
    bool m_editing = false;
    bool m_loading = false;
    bool m_invalid = false;
    int m_invalidBox = -1;
    bool m_numberChanged = false;
    bool m_hasRows = false;
    bool m_firstFillDone = false;
    int m_frameBox = -1;        // the box the frame stands around; -1 when it is down
    bool m_frameBlinks = false; // an edit put the frame up
    bool m_blinkPhase = false;
};

} // namespace twl

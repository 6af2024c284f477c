#pragma once

#include "entries/EntryFields.h"
#include "entries/EntryRules.h"
#include "entries/EntryState.h"

#include <QColor>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QWidget>
#include <array>
#include <utility>
#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;
class QVariantAnimation;

namespace store {
class RecordSet;
}

namespace twl {

// A colour written as 0xBBGGRR.
QColor colourFromBgr(quint32 bgr);

class FieldFrame;
class QuickNameButton;

// The entry form of the main window: the thirteen fields `TXT1_0` to `TXT1_12` with their
// labels, the buttons `OKBut`, `UpdBut`, `CanBut`, `MultiClsBut` ("M") and `LookUpMem` ("L"),
// the field frame `Bx1`, the blink timer `Timer2` and the quick-name list (`DLbox` opening
// `QckNlist`). It knows how fields are filled, enabled, coloured and marked; what a command does
// with them is up to EntryCommands and EntryLists.
class EntryForm : public QWidget {
    Q_OBJECT
public:
    EntryForm(EntryState& state, QWidget* parent);
    ~EntryForm() override;

    QLineEdit* field(int index) const { return m_fields.at(std::size_t(index)); }
    QString text(int index) const;
    void setText(int index, const QString& text);
    EntryTexts texts() const;
    // The field's own Enabled setting, whatever its parents are.
    bool isFieldEnabled(int index) const;

    QPushButton* okButton() const { return m_ok; }
    QPushButton* updateButton() const { return m_update; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* multiClassButton() const { return m_multiClass; }
    QPushButton* memberButton() const { return m_member; }
    QWidget* quickNameButton() const;
    QListWidget* quickNameList() const { return m_quickNames; }
    QTimer* blinkTimer() const { return m_blinkTimer; }

    // The label on the "Exhibitor" tab that ShowEntryFields(1) writes the exhibitor number to.
    void setExhibitorNumberLabel(QLabel* label) { m_exhibitorNo = label; }

    // ShowEntryFields: clears the fields; mode 1 then fills them from the current row.
    void showEntryFields(int mode, const store::RecordSet* entries = nullptr);
    void enableEntryFields(bool enabled);
    void setFieldBackground(int index, quint32 bgr);
    // The system's text-box background.
    void setFieldWindowColour(int index);
    // Each text field takes no more characters than its Entries_tbl field holds.
    void setFieldLimits(const store::RecordSet& entries);

    // `Bx1` in blue around a field being edited, in red around a field that failed validation
    // (MarkField, which also gives that field the focus).
    void showEditFrame(int index);
    void markField(int index);
    // HideFieldFrame.
    void hideFieldFrame();
    void toggleFieldFrame();
    // One blink step of a button's caption; the caption and its Alt key stay in place.
    void setCaptionShown(QPushButton* button, bool shown);

    // The form's own tab stops as built (the window's restore does not know these widgets).
    void restoreTabStops();

    // The quick-name list: `DLbox` appears beside field 0; opened, it grows, then `QckNlist`
    // opens over it with the focus.
    void showQuickNameButton();
    void openQuickNames();
    void hideQuickNameList();

signals:
    void fieldChanged(int index);
    void returnPressed(int index);
    void fieldFocused(int index);
    void fieldLeft(int index);
    void quickNameChosen(const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildFields();
    void buildButtons();
    void buildQuickNames();
    void placeFrameAround(int index, quint32 bgr);
    void chooseQuickName();
    int fieldIndexOf(const QObject* object) const;
    QPoint overlayPoint(const QPoint& inForm) const;

    EntryState& m_state;
    std::array<QLineEdit*, EntryFieldCount> m_fields{};
    QPushButton* m_ok = nullptr;
    QPushButton* m_update = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_multiClass = nullptr;
    QPushButton* m_member = nullptr;
    FieldFrame* m_frame = nullptr;
    QuickNameButton* m_quickNameButton = nullptr;
    QListWidget* m_quickNames = nullptr;
    QVariantAnimation* m_growth = nullptr;
    QTimer* m_blinkTimer = nullptr;
    QPointer<QLabel> m_exhibitorNo;
    QPalette m_buttonPalette;
    QPalette m_fieldPalette;
    std::vector<std::pair<QWidget*, Qt::FocusPolicy>> m_tabStops;
    bool m_closing = false;
};

} // namespace twl

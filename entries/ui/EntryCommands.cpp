#include "EntryCommands.h"

#include "EntryForm.h"
#include "EntryLists.h"
#include "common/MainDataSources.h"
#include "common/MainWindowFrame.h"
#include "common/Services.h"
#include "common/TWL_public.h"
#include "common/widgets/BusyCursor.h"
#include "entries/EntryQueries.h"
#include "entries/EntryRules.h"
#include "entries/ShowEntryData.h"
#include "store/StoreError.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <stdexcept>

namespace twl {

namespace {

// A value that a field of the entry could not take; field -1 when no one field is to blame.
class EntryWriteError : public std::runtime_error {
public:
    EntryWriteError(int field, const QString& reason)
        : std::runtime_error(reason.toStdString()), m_field(field), m_reason(reason) {}
    int field() const { return m_field; }
    const QString& reason() const { return m_reason; }

private:
    int m_field;
    QString m_reason;
};

// Fields 0 to 11 into the current row; an empty text leaves the field empty (null).
void setEntryValues(store::RecordSet& entries, const EntryForm& form) {
    for (int i = 0; i < WrittenFieldCount; ++i) {
        const QString text = form.text(i);
        try {
            entries.setValue(entryFieldName(i),
                             text.isEmpty() ? store::Value() : store::Value(text));
        } catch (const store::StoreError& error) {
            throw EntryWriteError(i, error.message());
        }
    }
}

void writeBatch(EntryLists& lists, EntryState& state) {
    const OwnEntryWrite own(state);
    try {
        lists.writeEntryBatch();
    } catch (const store::StoreError& error) {
        throw EntryWriteError(-1, error.message());
    }
}

void forgetPendingRows(store::RecordSet& entries) {
    try {
        entries.cancelBatch();
    } catch (const store::StoreError&) {
        // The pending rows are dropped before anything in it can refuse; a closed list has none.
    }
}

// Validation's reads; one that fails lets the entry through to the write, which reports.
class TolerantLookups : public EntryLookups {
public:
    explicit TolerantLookups(EntryLookups& lookups) : m_lookups(lookups) {}
    bool classEnded(qint64 classNo) override {
        try {
            return m_lookups.classEnded(classNo);
        } catch (const store::StoreError&) {
            return false;
        }
    }
    bool exhibitorEntered(double exhibitorNo, qint64 classNo) override {
        try {
            return m_lookups.exhibitorEntered(exhibitorNo, classNo);
        } catch (const store::StoreError&) {
            return false;
        }
    }

private:
    EntryLookups& m_lookups;
};

} // namespace

EntryCommands::EntryCommands(MainWindowFrame& frame, MainDataSources& sources, EntryForm& form,
                             EntryLists& lists, EntryState& state, QObject* parent)
    : QObject(parent), m_frame(frame), m_sources(sources), m_form(form), m_lists(lists),
      m_state(state) {
    setObjectName(QStringLiteral("EntryCommands"));
    connect(&form, &EntryForm::fieldChanged, this, &EntryCommands::onFieldChanged);
    connect(&form, &EntryForm::returnPressed, this, &EntryCommands::onReturnPressed);
    connect(&form, &EntryForm::fieldFocused, this, &EntryCommands::onFieldFocused);
    connect(&form, &EntryForm::fieldLeft, this, &EntryCommands::onFieldLeft);
    connect(&form, &EntryForm::quickNameChosen, &lists, &EntryLists::takeOverEarlierName);
    connect(&lists, &EntryLists::earlierNameTakenOver, this,
            &EntryCommands::onEarlierNameTakenOver);
    connect(form.okButton(), &QPushButton::clicked, this, &EntryCommands::accept);
    connect(form.updateButton(), &QPushButton::clicked, this, &EntryCommands::update);
    connect(form.cancelButton(), &QPushButton::clicked, this, &EntryCommands::cancel);
    connect(form.multiClassButton(), &QPushButton::clicked, this,
            &EntryCommands::runMultiClassCommand);
    connect(form.memberButton(), &QPushButton::clicked, &lists, &EntryLists::lookUpMember);
    connect(form.blinkTimer(), &QTimer::timeout, this, &EntryCommands::blink);
}

bool EntryCommands::showHasEntries() const {
    return m_frame.showState() == ShowState::ShowWithEntries;
}

// ---- adding ----

void EntryCommands::beginAdding() {
    if (m_state.addMode)
        return;
    BusyCursor busy;
    m_frame.setAllTabStops(false);
    m_form.showEntryFields(0);
    m_form.enableEntryFields(false);
    QCoreApplication::processEvents();
    m_frame.lockFrame(true, showHasEntries());
    m_form.field(ExhibitorNoField)->setEnabled(true);
    m_form.field(ExhibitorNoField)->setFocus(Qt::OtherFocusReason);
    clearMultiSel();
    m_form.cancelButton()->setEnabled(true);
    m_state.nameLookupOnLeave = true;
    m_state.fillingFields = true;
    m_state.addMode = true;
}

void EntryCommands::accept() {
    validateEntry();
    if (m_state.validationFailed) {
        m_form.markField(m_state.errorField);
        return;
    }
    BusyCursor busy;
    store::RecordSet& entries = m_sources.priAdo.recordSet();
    const QString typedClass = m_form.text(ClassNoField);
    const store::RecordSet::Bookmark bookmarkBefore = m_state.lastBookmark;
    QString classNo;
    int count = 0;
    try {
        if (!m_state.multiClassChosen) {
            classNo = typedClass;
            addEntryRecord();
            count = 1;
        } else {
            for (const QString& selected : selectedClasses()) {
                m_form.setText(ClassNoField, selected);
                classNo = selected;
                addEntryRecord();
                ++count;
            }
            if (count == 0)
                throw EntryWriteError(-1, QStringLiteral("No class is ticked any more."));
        }
        writeBatch(m_lists, m_state);
    } catch (const EntryWriteError& error) {
        // Nothing of this entry is kept half-written; the form keeps what was typed.
        forgetPendingRows(entries);
        m_state.lastBookmark = bookmarkBefore;
        m_form.setText(ClassNoField, typedClass);
        reportFailedWrite(QStringLiteral("The entry was not added."), error.field(),
                          error.reason());
        return;
    }
    m_frame.lastActionLabel()->setText(addedMessage(
        m_form.text(ExhibitorNoField), m_form.text(ExhibitorNameField), count, classNo));
    m_state.multiClassChosen = false;
    m_state.fillingFields = false;
    clearMultiSel();
    cancel();
}

void EntryCommands::addEntryRecord() {
    store::RecordSet& entries = m_sources.priAdo.recordSet();
    m_state.addingRecord = true;
    try {
        entries.addNew();
        setEntryValues(entries, m_form);
    } catch (const store::StoreError& error) {
        m_state.addingRecord = false;
        throw EntryWriteError(-1, error.message());
    } catch (...) {
        m_state.addingRecord = false;
        throw;
    }
    m_state.lastBookmark = entries.bookmark();
    m_state.addingRecord = false;
}

// The classes ticked in the multi-class dialog, in table order.
QStringList EntryCommands::selectedClasses() {
    QStringList classes;
    store::DataSource& adoTmp = m_sources.adoTmp;
    if (store::loadThroughDataSource(adoTmp, m_frame.services().shared.session.ShowConnString,
                                     EntryQueries::MultiSelectQuery)) {
        store::RecordSet& work = adoTmp.recordSet();
        for (work.moveFirst(); !work.eof(); work.moveNext()) {
            if (work.value(QStringLiteral("Selected")).toBool())
                classes << work.value(QStringLiteral("Class No")).toText();
        }
    }
    adoTmp.closeRecordSet();
    return classes;
}

// ---- updating ----

void EntryCommands::update() {
    validateEntry();
    if (m_state.validationFailed) {
        m_form.markField(m_state.errorField);
        return;
    }
    store::RecordSet& entries = m_sources.priAdo.recordSet();
    QString exhibitorNo;
    QString exhibitorName;
    try {
        if (!entries.isOpen() || entries.bof() || entries.eof())
            throw EntryWriteError(-1, QStringLiteral("There is no entry to update."));
        setEntryValues(entries, m_form);
        writeBatch(m_lists, m_state);
        exhibitorNo = entries.value(QStringLiteral("Show Exh No")).toText();
        exhibitorName = entries.value(QStringLiteral("Show Exh Nam")).toText();
    } catch (const EntryWriteError& error) {
        forgetPendingRows(entries);
        reportFailedWrite(QStringLiteral("The changes to the entry were not saved."), error.field(),
                          error.reason());
        return;
    }
    m_state.lastBookmark = entries.bookmark();
    m_frame.lastActionLabel()->setText(updatedMessage(exhibitorNo, exhibitorName));
    cancel();
}

void EntryCommands::reportFailedWrite(const QString& what, int field, const QString& reason) {
    QString text = what + QStringLiteral("\n\n");
    if (field >= 0)
        text += entryFieldLabel(field) + QStringLiteral(": ");
    text += reason;
    m_frame.services().prompt.show(QStringLiteral("Trotwell"), text, Prompt::Icon::Exclamation);
    if (field >= 0)
        m_form.markField(field);
}

// ---- the Cancel routine ----

void EntryCommands::cancel() {
    BusyCursor busy;
    m_form.multiClassButton()->setEnabled(false);
    m_form.memberButton()->setEnabled(false);
    m_state.editPending = false;
    m_form.field(ClassNoField)->setEnabled(true);
    m_form.setFieldWindowColour(ClassNoField);
    for (QPushButton* button : {m_form.okButton(), m_form.cancelButton(), m_form.updateButton()})
        button->setEnabled(false);
    m_state.addMode = false;
    m_state.exhibitorNoFixed = false;
    m_form.setCaptionShown(m_form.updateButton(), true);
    m_form.setCaptionShown(m_form.okButton(), true);
    m_state.nameLookupOnLeave = false;
    m_form.quickNameButton()->hide();
    // A frame left blinking would mark a field of the viewed entry as edited, and an add
    // cancelled before its first Enter would leave the window without tab stops.
    m_form.hideFieldFrame();
    m_frame.restoreTabStops();
    m_form.restoreTabStops();
    clearMultiSel();
    m_lists.sortAndRefresh();
    m_lists.calEntries();
    if (m_searchList)
        m_searchList();
    m_frame.lockFrame(false, showHasEntries());
    m_form.setFieldBackground(ExhibitorNoField, WhiteBgr);
    if (m_state.entryCount > 1)
        m_form.field(ExhibitorNoField)->setEnabled(true);
}

void EntryCommands::clearEntryForm() {
    m_form.showEntryFields(0);
    m_form.enableEntryFields(false);
    // A bookmark names a row of the show it was taken in.
    m_state.lastBookmark = store::RecordSet::NoBookmark;
}

// ---- validation ----

void EntryCommands::validateEntry() {
    m_state.validating = true;
    for (int i = 0; i < EntryFieldCount; ++i) {
        const QString text = m_form.text(i);
        if (text.contains(QLatin1Char('\'')))
            m_form.setText(i, withoutApostrophes(text));
    }
    m_state.validating = false;
    m_state.validationFailed = false;

    EntryCheck check;
    check.fields = m_form.texts();
    check.classFieldEnabled = m_form.isFieldEnabled(ClassNoField);
    check.adding = m_state.addMode;
    check.shownClass = m_state.shownClass;
    check.totClassUsed = m_frame.services().shared.session.TotClassUsed;
    ShowEntryData data(m_frame.services().shared.session.ShowConnString);
    TolerantLookups lookups(data);
    const EntryCheckResult result = checkEntry(check, lookups);
    m_state.validationFailed = result.failed;
    m_state.errorField = qint16(result.errorField);
}

void EntryCommands::clearMultiSel() {
    try {
        ShowEntryData(m_frame.services().shared.session.ShowConnString).clearMultiSelect();
    } catch (const store::StoreError&) {
        // Marks left in the work table make no entry by themselves: the next add reads them
        // only when the multi-class dialog, which shows them, is accepted again.
    }
    m_state.multiClassChosen = false;
}

// ---- the multi-class command ----

void EntryCommands::runMultiClassCommand() {
    if (!m_multiClassDialog)
        return;
    m_state.multiClassChosen = false;
    m_state.multiClassChosen = m_multiClassDialog();
    QLineEdit* classField = m_form.field(ClassNoField);
    if (m_state.multiClassChosen) {
        classField->setEnabled(false);
        m_form.setFieldBackground(ClassNoField, DarkGreyBgr);
    } else {
        classField->setEnabled(true);
        m_form.setFieldWindowColour(ClassNoField);
    }
}

void EntryCommands::onEarlierNameTakenOver() {
    if (m_multiClassDialog) {
        runMultiClassCommand();
        return;
    }
    // Without the dialog the class is typed next.
    m_form.field(ClassNoField)->setFocus(Qt::OtherFocusReason);
}

// ---- typing ----

void EntryCommands::onFieldChanged(int index) {
    if (m_state.fillingFields || m_state.validating)
        return;
    m_state.editPending = true;
    m_state.lastEditedField = qint16(index);
    m_state.frameBlinking = true;
    m_form.showEditFrame(index);
    m_form.updateButton()->setEnabled(true);
    m_form.cancelButton()->setEnabled(true);
    m_frame.lockFrame(true, showHasEntries());
}

void EntryCommands::onReturnPressed(int index) {
    if (m_form.text(ExhibitorNoField).isEmpty() || !m_state.addMode)
        return;
    m_form.enableEntryFields(true);
    // Classes ticked in the multi-class dialog stand in for the class field.
    if (m_state.multiClassChosen)
        m_form.field(ClassNoField)->setEnabled(false);
    // A number whose earlier name was taken over stays fixed.
    if (m_state.exhibitorNoFixed)
        m_form.field(ExhibitorNoField)->setEnabled(false);
    m_form.hideFieldFrame();
    m_frame.restoreTabStops();
    m_form.restoreTabStops();
    m_form.okButton()->setEnabled(true);
    if (index < PlaceField)
        m_form.field(index + 1)->setFocus(Qt::TabFocusReason);
}

void EntryCommands::onFieldFocused(int index) {
    if (index == ExhibitorNoField)
        m_form.multiClassButton()->setEnabled(false);
}

void EntryCommands::onFieldLeft(int index) {
    if (index == ExhibitorNoField && m_state.addMode) {
        m_form.memberButton()->setEnabled(true);
        m_form.multiClassButton()->setEnabled(bool(m_multiClassDialog));
    }
    if (m_state.nameLookupOnLeave)
        m_lists.lookUpEarlierNames(index);
    if (!m_state.movingRecord)
        m_form.hideFieldFrame();
}

void EntryCommands::blink() {
    m_blinkShown = !m_blinkShown;
    if (m_state.editPending)
        m_form.setCaptionShown(m_form.updateButton(), m_blinkShown);
    if (m_state.frameBlinking)
        m_form.toggleFieldFrame();
    if (m_state.addMode)
        m_form.setCaptionShown(m_form.okButton(), m_blinkShown);
}

} // namespace twl

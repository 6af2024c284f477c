#pragma once

#include "classes/ClassSpreadsheet.h"
#include "common/Services.h"
#include "common/widgets/DialogClosing.h"

#include <QDialog>
#include <QString>
#include <optional>

class QLabel;
class QListWidget;
class QPushButton;

namespace twl {

// Asks for a class workbook through the file seam, as both the import and the export do: the
// answer with ".xls" appended where the name has no workbook extension (empty text for a name
// too short to be one), or nothing when the user cancelled the file dialog.
std::optional<QString> chooseClassWorkbook(Services& services, const QString& title);

// Chooses the sheet that the import takes the classes from: asks for the workbook when it is
// made, lists its sheets, and shows the chosen sheet's three columns before the user accepts.
// When there is nothing to choose (no file, or its sheets cannot be read) it closes itself as
// cancelled as soon as it is shown.
class ImportClass : public QDialog {
    Q_OBJECT
public:
    explicit ImportClass(Services& services, QWidget* parent = nullptr);
    ~ImportClass() override;

    // The dialog's own result: true unless it was closed with OK with a sheet to import.
    bool cancelled() const { return m_result.cancelled() || m_preview.descriptions.isEmpty(); }
    // The workbook chosen; empty when none was.
    const QString& workbook() const { return m_workbook; }
    // The chosen sheet's columns as the lists show them.
    const ClassSpreadsheet::Preview& preview() const { return m_preview; }

private:
    void buildControls();
    void load();
    void chooseSheet(const QString& sheet);
    void showPreview();

    Services& m_services;
    DialogResult m_result{*this};
    bool m_nothingToChoose = false;
    QString m_workbook;
    ClassSpreadsheet::Preview m_preview;
    QLabel* m_fileLabel = nullptr; // LB
    QListWidget* m_sheetsList = nullptr;
    QListWidget* m_descriptionList = nullptr;
    QListWidget* m_feeList = nullptr;
    QListWidget* m_multiplierList = nullptr;
    QPushButton* m_okBut = nullptr;
    QPushButton* m_canBut = nullptr;
};

} // namespace twl

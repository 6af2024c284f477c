#include "ImportClass.h"

#include "common/TWL_public.h"
#include "common/widgets/BusyCursor.h"
#include "common/widgets/PlacedControls.h"
#include "store/StoreError.h"
#include "store/spreadsheet/Workbook.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>

namespace twl {

namespace {

using namespace ClassSpreadsheet;

const QString Title = QStringLiteral("Trotwell");
const QString Instructions = QStringLiteral(
    "Select a sheet name from the left that contains the Class Descriptions and click OK.  Class "
    "Descriptions must be in the first column of the spreadsheet (A1) with the first row as the "
    "column header.  TWL will import 150 rows (A2-C151).  Leave unused rows in that range "
    "blank.");

constexpr int DialogWidth = 640;
constexpr int DialogHeight = 440;
constexpr int Margin = 12;
constexpr int FrameTop = 108;
constexpr int FrameHeight = 270;
constexpr int SheetFrameWidth = 170;
constexpr int ButtonWidth = 96;
constexpr int ButtonHeight = 30;

QListWidget* placedList(const QString& name, const QRect& geometry, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setGeometry(geometry);
    list->setUniformItemSizes(true);
    return list;
}

} // namespace

std::optional<QString> chooseClassWorkbook(Services& services, const QString& title) {
    const QString folder = QDir::currentPath();
    const auto restoreFolder = qScopeGuard([&folder] { QDir::setCurrent(folder); });
    FileChooser::Request request;
    request.title = title;
    request.presetName = FilePattern;
    request.filter = FileFilter;
    request.forSaving = false;
    const QString chosen = services.files.choose(request);
    if (chosen.isEmpty())
        return std::nullopt;
    return workbookPath(chosen);
}

ImportClass::ImportClass(Services& services, QWidget* parent)
    : QDialog(parent), m_services(services) {
    setObjectName(QStringLiteral("ImportClass"));
    setWindowTitle(QStringLiteral("Trotwell  [Import Classes]"));
    setFixedSize(DialogWidth, DialogHeight);
    buildControls();
    load();
    if (m_nothingToChoose)
        m_result.giveUp();
}

ImportClass::~ImportClass() = default;

void ImportClass::buildControls() {
    auto* instructions = placedLabel(Instructions, QStringLiteral("InstructLabel"),
                                     QRect(Margin, 8, DialogWidth - 2 * Margin, 64), this);
    instructions->setWordWrap(true);
    m_fileLabel = placedLabel(QStringLiteral("File Name"), QStringLiteral("LB"),
                              QRect(Margin, 76, DialogWidth - 2 * Margin, 24), this);
    m_fileLabel->setFrameShape(QFrame::Panel);
    m_fileLabel->setFrameShadow(QFrame::Sunken);

    auto* sheetFrame = new QGroupBox(QStringLiteral("Sheet Names"), this);
    sheetFrame->setObjectName(QStringLiteral("SheetFrame"));
    sheetFrame->setGeometry(Margin, FrameTop, SheetFrameWidth, FrameHeight);
    placedLabel(QStringLiteral("Select a sheet name;"), QStringLiteral("SelectLabel"),
                QRect(10, 20, SheetFrameWidth - 20, 20), sheetFrame);
    m_sheetsList = placedList(QStringLiteral("SheetsList"),
                              QRect(10, 42, SheetFrameWidth - 20, FrameHeight - 52), sheetFrame);
    // A sheet is chosen when the user selects it; the list's first focus makes a row current
    // without choosing it.
    connect(m_sheetsList, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> chosen = m_sheetsList->selectedItems();
        if (!chosen.isEmpty())
            chooseSheet(chosen.constFirst()->text());
    });

    const int sampleLeft = Margin + SheetFrameWidth + 10;
    const int sampleWidth = DialogWidth - Margin - sampleLeft;
    auto* sampleFrame = new QGroupBox(QStringLiteral("Sample"), this);
    sampleFrame->setObjectName(QStringLiteral("SampleFrame"));
    sampleFrame->setGeometry(sampleLeft, FrameTop, sampleWidth, FrameHeight);
    const int listTop = 22;
    const int listHeight = FrameHeight - listTop - 10;
    const int numberWidth = 70;
    const int descriptionWidth = sampleWidth - 20 - 2 * numberWidth;
    m_descriptionList = placedList(QStringLiteral("ClsDescLst"),
                                   QRect(10, listTop, descriptionWidth, listHeight), sampleFrame);
    m_feeList =
        placedList(QStringLiteral("ClsFeeLst"),
                   QRect(10 + descriptionWidth, listTop, numberWidth, listHeight), sampleFrame);
    m_multiplierList = placedList(
        QStringLiteral("ClsMultiLst"),
        QRect(10 + descriptionWidth + numberWidth, listTop, numberWidth, listHeight), sampleFrame);
    // The three columns of a row stay side by side as the description list scrolls.
    for (QListWidget* list : {m_feeList, m_multiplierList})
        connect(m_descriptionList->verticalScrollBar(), &QScrollBar::valueChanged,
                list->verticalScrollBar(), &QScrollBar::setValue);

    const int buttonsTop = FrameTop + FrameHeight + 16;
    m_okBut = placedButton(
        QStringLiteral("&OK"), QStringLiteral("OKBut"),
        QRect(DialogWidth - Margin - 2 * ButtonWidth - 10, buttonsTop, ButtonWidth, ButtonHeight),
        this);
    m_okBut->setEnabled(false);
    connect(m_okBut, &QPushButton::clicked, this, &ImportClass::accept);
    m_canBut = placedButton(
        QStringLiteral("&Cancel"), QStringLiteral("CanBut"),
        QRect(DialogWidth - Margin - ButtonWidth, buttonsTop, ButtonWidth, ButtonHeight), this);
    connect(m_canBut, &QPushButton::clicked, this, &ImportClass::reject);
}

// Asks for the workbook and lists its sheets; with nothing to choose the dialog closes once
// shown.
void ImportClass::load() {
    m_workbook = chooseClassWorkbook(m_services, ImportDialogTitle).value_or(QString());
    if (m_workbook.isEmpty()) {
        m_nothingToChoose = true;
        return;
    }
    m_fileLabel->setText(m_workbook);
    QStringList sheets;
    try {
        sheets = store::workbook::sheetNames(m_workbook);
    } catch (const store::StoreError&) {
        m_services.prompt.show(Title, NoSheetNames, Prompt::Icon::Exclamation);
        m_nothingToChoose = true;
        return;
    }
    m_sheetsList->addItems(sheets);
}

// Reads the chosen sheet and shows its three columns. A sheet that cannot be read is reported
// and leaves nothing to accept.
void ImportClass::chooseSheet(const QString& sheet) {
    if (sheet.isEmpty())
        return;
    m_okBut->setEnabled(false);
    m_preview = {};
    {
        const BusyCursor busy;
        try {
            m_preview = previewOf(store::workbook::readSheet(m_workbook, sheet));
        } catch (const store::StoreError& error) {
            showPreview();
            m_services.prompt.show(Title,
                                   QStringLiteral("The sheet '%1' cannot be read.\n\n").arg(sheet) +
                                       error.message(),
                                   Prompt::Icon::Critical);
            return;
        }
        showPreview();
    }
    m_okBut->setEnabled(true);
}

void ImportClass::showPreview() {
    for (QListWidget* list : {m_descriptionList, m_feeList, m_multiplierList})
        list->clear();
    m_descriptionList->addItems(m_preview.descriptions);
    m_feeList->addItems(m_preview.fees);
    m_multiplierList->addItems(m_preview.multipliers);
}

} // namespace twl

#include "EditClasses.h"

#include "ImportClass.h"
#include "classes/ClassRules.h"
#include "classes/ClassSpreadsheet.h"
#include "common/TWL_public.h"
#include "common/widgets/BusyCursor.h"
#include "common/widgets/CellEditorDelegate.h"
#include "store/StoreError.h"
#include "store/spreadsheet/Workbook.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <functional>

namespace twl {

namespace {

using store::RecordSetModel;
using namespace ClassRules;

const QString Title = QStringLiteral("Trotwell");

// Widths are given in twips; 15 twips make a pixel.
int twips(int value) {
    return qRound(value / 15.0);
}

constexpr int DialogWidth = 600;
constexpr int DialogHeight = 564;
constexpr int Margin = 12;
constexpr int GridTop = 74;
constexpr int GridHeight = 432;
constexpr int ButtonWidth = 96;
constexpr int ButtonHeight = 30;
constexpr int ButtonGap = 8;

// The grid's cell editor, with a display format's padding given up first in a narrow cell.
class CellDelegate : public CellEditorDelegate {
public:
    using CellEditorDelegate::CellEditorDelegate;

protected:
    // A display format's trailing blanks are padding: in a cell too narrow for the whole text
    // they give way first, and only then is the text cut short with an ellipsis.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QStyle* style = option->widget ? option->widget->style() : QApplication::style();
        const int margin =
            style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option->widget);
        const int room = option->rect.width() - 2 * (margin + 1);
        if (option->fontMetrics.horizontalAdvance(option->text) > room) {
            while (option->text.endsWith(QLatin1Char(' ')))
                option->text.chop(1);
        }
    }
};

std::vector<RecordSetModel::Column> classColumns() {
    using Column = RecordSetModel::Column;
    return {
        Column{.editable = false},
        Column{.field = QStringLiteral("Class No"),
               .caption = QStringLiteral("Class"),
               .alignment = Qt::AlignHCenter,
               .editable = false},
        Column{.field = QStringLiteral("Class Name"),
               .caption = QStringLiteral("Class Description")},
        Column{.field = QStringLiteral("Class Fee"),
               .caption = QStringLiteral("Fee"),
               .alignment = Qt::AlignRight,
               .format = feeDisplay},
        Column{.field = QStringLiteral("Class Multi"),
               .caption = QStringLiteral("X"),
               .alignment = Qt::AlignLeft,
               .format = multiplierDisplay},
        Column{.field = QStringLiteral("Class Ended"), .editable = false, .hidden = true},
    };
}

QLabel* makeLabel(const QString& text, const QString& name, Qt::Alignment alignment,
                  QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(alignment | Qt::AlignBottom);
    return label;
}

} // namespace

EditClasses::EditClasses(Services& services, QWidget* parent)
    : QDialog(parent), m_services(services) {
    setObjectName(QStringLiteral("EditClasses"));
    setWindowTitle(QStringLiteral("Trotwell  [Edit Classes]"));
    setFixedSize(DialogWidth, DialogHeight);
    m_model = std::make_unique<RecordSetModel>(m_classes);
    buildControls();
    openClasses();
}

EditClasses::~EditClasses() {
    // The grid lets go of the model before the record set behind it goes.
    m_grid->setModel(nullptr);
}

void EditClasses::buildControls() {
    auto* instruction = new QLabel(
        QStringLiteral(
            "Enter new text in the cells below and press Enter to accept  -  Press ESC to cancel"),
        this);
    instruction->setObjectName(QStringLiteral("InstructLabel"));
    instruction->setAlignment(Qt::AlignCenter);
    instruction->setGeometry(Margin, 10, DialogWidth - 2 * Margin, 20);

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("Grid_C"));
    m_grid->setGeometry(Margin, GridTop, DialogWidth - 2 * Margin, GridHeight);
    m_grid->horizontalHeader()->hide();
    m_grid->horizontalHeader()->setMinimumSectionSize(0);
    m_grid->verticalHeader()->hide();

    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                            QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    m_grid->setWordWrap(false);
    // The fixed column widths suit small type.
    QFont gridFont = m_grid->font();
    gridFont.setPointSizeF(8);
    m_grid->setFont(gridFont);
    m_grid->verticalHeader()->setDefaultSectionSize(QFontMetrics(gridFont).height() + 6);
    auto* delegate = new CellDelegate([this] { cellTextChanged(); }, m_grid);
    m_grid->setItemDelegate(delegate);
    connect(delegate, &QAbstractItemDelegate::closeEditor, this, &EditClasses::editEnded);
    m_grid->installEventFilter(this);

    m_model->setBeforeUpdate([](int, int column, const QVariant& value, QString* message) {
        *message = cellRefusal(column, value.toString());
        return message->isEmpty();
    });
    m_model->setAfterUpdate([this](int row, int) { saveAcceptedCell(row); });
    m_model->setRefusalHandler([this](const auto& refusal) { showRefusal(refusal); });

    buildColumnLabels();
    buildButtons();

    m_reenableButtonsTimer = new QTimer(this);
    m_reenableButtonsTimer->setObjectName(QStringLiteral("Timer4"));
    m_reenableButtonsTimer->setSingleShot(true);
    connect(m_reenableButtonsTimer, &QTimer::timeout, this, &EditClasses::enableButtons);
}

void EditClasses::buildColumnLabels() {
    m_numberLabel =
        makeLabel(QStringLiteral("Class"), QStringLiteral("ClassLabel"), Qt::AlignHCenter, this);
    m_nameLabel = makeLabel(QStringLiteral("Class Description"), QStringLiteral("DescLabel"),
                            Qt::AlignHCenter, this);
    m_nameLimitLabel = makeLabel(QStringLiteral("100 Characters maximum"),
                                 QStringLiteral("MaxLabel"), Qt::AlignHCenter, this);
    QFont small = m_nameLimitLabel->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    small.setItalic(true);
    m_nameLimitLabel->setFont(small);
    m_feeLabel =
        makeLabel(QStringLiteral("Fee"), QStringLiteral("FeeLabel"), Qt::AlignHCenter, this);
    m_pointsLabel =
        makeLabel(QStringLiteral("Points"), QStringLiteral("PointsLabel"), Qt::AlignHCenter, this);
    m_multiLabel =
        makeLabel(QStringLiteral("X"), QStringLiteral("MultiLabel"), Qt::AlignHCenter, this);
    QFont bold = m_nameLabel->font();
    bold.setBold(true);
    for (QLabel* label : {m_numberLabel, m_nameLabel, m_feeLabel, m_pointsLabel, m_multiLabel})
        label->setFont(bold);
}

void EditClasses::buildButtons() {
    const int top = GridTop + GridHeight + 14;
    auto makeButton = [&](const QString& caption, const QString& name, int left) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(name);
        button->setGeometry(left, top, ButtonWidth, ButtonHeight);
        // Enter belongs to the grid's cells, never to a button.
        button->setAutoDefault(false);
        return button;
    };
    m_clearAllBut = makeButton(QStringLiteral("&Clear All"), QStringLiteral("ClearAllBut"), Margin);
    m_importBut = makeButton(QStringLiteral("&Import "), QStringLiteral("ImportBut"),
                             Margin + ButtonWidth + ButtonGap);
    m_exportBut = makeButton(QStringLiteral("&Export"), QStringLiteral("ExportBut"),
                             Margin + 2 * (ButtonWidth + ButtonGap));
    m_doneBut = makeButton(QStringLiteral("&Done"), QStringLiteral("DoneBut"),
                           DialogWidth - Margin - ButtonWidth);
    connect(m_clearAllBut, &QPushButton::clicked, this, &EditClasses::clearAll);
    connect(m_importBut, &QPushButton::clicked, this, &EditClasses::importClasses);
    connect(m_exportBut, &QPushButton::clicked, this, &EditClasses::exportClasses);
    connect(m_doneBut, &QPushButton::clicked, this, &EditClasses::accept);
}

void EditClasses::openClasses() {
    try {
        m_classes.open(QStringLiteral("Class_tbl"), m_services.shared.session.ShowConnString);
        m_classes.moveFirst();
        m_model->setColumns(classColumns());
    } catch (const store::StoreError& error) {
        m_classes.close();
        m_services.prompt.show(
            Title, QStringLiteral("The classes of the show cannot be read.\n\n") + error.message(),
            Prompt::Icon::Critical);
        m_model->setColumns(classColumns());
    }
    m_grid->setModel(m_model.get());
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { m_model->moveTo(current.row()); });
    applyGridLayout();
    if (m_model->rowCount() > 0)
        m_grid->setCurrentIndex(m_model->index(0, NameColumn));
}

void EditClasses::applyGridLayout() {
    m_grid->setColumnWidth(SpacerColumn, twips(5));
    m_grid->setColumnWidth(NumberColumn, twips(500));
    m_grid->setColumnWidth(NameColumn, m_grid->width() - twips(1995));
    m_grid->setColumnWidth(FeeColumn, twips(750));
    m_grid->setColumnWidth(MultiColumn, twips(500));
    m_grid->setColumnWidth(EndedColumn, 0);
    for (int column = 0; column < m_model->columnCount(); ++column)
        m_grid->setColumnHidden(column, m_model->isHidden(column));
    placeColumnLabels();
}

// The labels stand over their columns, as column headings would.
void EditClasses::placeColumnLabels() {
    const int left = m_grid->x() + m_grid->frameWidth();
    auto columnLeft = [&](int column) {
        int x = left;
        for (int c = 0; c < column; ++c)
            x += m_grid->isColumnHidden(c) ? 0 : m_grid->columnWidth(c);
        return x;
    };
    const int lineHeight = fontMetrics().height() + 2;
    const int bottom = GridTop - 2;
    // Centred over its column, and wide enough for its text.
    auto place = [&](QLabel* label, int column, int line) {
        const int columnWidth = m_grid->columnWidth(column);
        const int width = std::max(columnWidth, label->sizeHint().width());
        const int left = columnLeft(column) + (columnWidth - width) / 2;
        label->setGeometry(left, bottom - line * lineHeight, width, lineHeight);
    };
    place(m_numberLabel, NumberColumn, 1);
    place(m_nameLabel, NameColumn, 2);
    place(m_nameLimitLabel, NameColumn, 1);
    place(m_feeLabel, FeeColumn, 1);
    place(m_pointsLabel, MultiColumn, 2);
    place(m_multiLabel, MultiColumn, 1);
}

// Writes the accepted cell (with anything else pending) and keeps the same class current.
void EditClasses::saveAcceptedCell(int row) {
    const QString classNumber = m_model->index(row, NumberColumn).data().toString();
    m_classes.setFilter(classFilter(classNumber));
    const store::RecordSet::Bookmark kept = m_classes.bookmark();
    m_classes.setFilter(QString());
    m_classes.updateBatch();
    m_classes.requery();
    m_classes.setBookmark(kept);
    m_reenableButtonsTimer->start(25);
    applyGridLayout();
}

void EditClasses::showRefusal(const RecordSetModel::Refusal& refusal) {
    if (refusal.reason == RecordSetModel::Refusal::Reason::WriteFailed) {
        m_services.prompt.show(Title,
                               QStringLiteral("The change could not be written to the show "
                                              "file and has been taken back.\n\n") +
                                   refusal.message,
                               Prompt::Icon::Critical);
        return;
    }
    m_services.prompt.show(Title, refusal.message, Prompt::Icon::Exclamation);
}

// A cell holds an unaccepted change: the screen cannot be left, cleared, imported or exported.
void EditClasses::cellTextChanged() {
    m_reenableButtonsTimer->stop();
    for (QPushButton* button : {m_clearAllBut, m_importBut, m_exportBut, m_doneBut})
        button->setEnabled(false);
}

void EditClasses::editEnded() {
    m_reenableButtonsTimer->start(25);
}

void EditClasses::enableButtons() {
    m_reenableButtonsTimer->stop();
    for (QPushButton* button : {m_clearAllBut, m_importBut, m_exportBut, m_doneBut})
        button->setEnabled(true);
}

bool EditClasses::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_grid && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        // Esc belongs to the grid; it never closes the screen.
        editEnded();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void EditClasses::clearAll() {
    const auto answer =
        m_services.prompt.show(Title, clearAllQuestion(m_services.shared.session.ShowPath),
                               Prompt::Icon::Exclamation, Prompt::Buttons::YesNo);
    if (answer != Prompt::Answer::Yes || !m_classes.isOpen())
        return;
    try {
        blankAll(m_classes);
        m_classes.updateBatch();
    } catch (const store::StoreError& error) {
        m_classes.cancelBatch();
        m_services.prompt.show(Title,
                               QStringLiteral("The classes could not be cleared; the show file "
                                              "is unchanged.\n\n") +
                                   error.message(),
                               Prompt::Icon::Critical);
    }
    showClassesAgain();
}

// The grid shows the classes afresh from the first one.
void EditClasses::showClassesAgain() {
    if (m_classes.isOpen())
        m_classes.moveFirst();
    m_model->reset();
    applyGridLayout();
    if (m_model->rowCount() > 0)
        m_grid->setCurrentIndex(m_model->index(0, NameColumn));
}

// Every class of the show from the sheet the user chooses, after one question; written in one
// batch.
void EditClasses::importClasses() {
    ImportClass chooser(m_services, this);
    chooser.exec();
    if (chooser.cancelled())
        return;
    const auto answer = m_services.prompt.show(
        Title, ClassSpreadsheet::replaceQuestion(m_services.shared.session.ShowPath),
        Prompt::Icon::Exclamation, Prompt::Buttons::YesNo);
    if (answer != Prompt::Answer::Yes || !m_classes.isOpen())
        return;
    try {
        const BusyCursor busy;
        ClassSpreadsheet::writeImport(m_classes,
                                      ClassSpreadsheet::importedClasses(chooser.preview()));
    } catch (const store::StoreError& error) {
        m_services.prompt.show(Title,
                               QStringLiteral("The classes could not be imported; the show file "
                                              "is unchanged.\n\n") +
                                   error.message(),
                               Prompt::Icon::Critical);
    }
    showClassesAgain();
}

// Every class into a new sheet "Class_Desc" of a workbook that exists already.
void EditClasses::exportClasses() {
    const std::optional<QString> chosen =
        chooseClassWorkbook(m_services, ClassSpreadsheet::ExportDialogTitle);
    if (!chosen)
        return;
    const QString& workbook = *chosen;
    // A name that names no workbook has no sheets to read either.
    QStringList sheets;
    bool readable = !workbook.isEmpty();
    if (readable) {
        try {
            sheets = store::workbook::sheetNames(workbook);
        } catch (const store::StoreError&) {
            readable = false;
        }
    }
    if (!readable) {
        m_services.prompt.show(Title, ClassSpreadsheet::NoSheetNames, Prompt::Icon::Exclamation);
        return;
    }
    if (ClassSpreadsheet::hasExportSheet(sheets)) {
        m_services.prompt.show(Title, ClassSpreadsheet::ExportSheetExists,
                               Prompt::Icon::Exclamation);
        return;
    }
    const auto answer = m_services.prompt.show(Title, ClassSpreadsheet::addSheetQuestion(workbook),
                                               Prompt::Icon::Question, Prompt::Buttons::YesNo);
    if (answer != Prompt::Answer::Yes)
        return;
    try {
        const BusyCursor busy;
        ClassSpreadsheet::exportClasses(workbook, m_classes);
    } catch (const store::StoreError& error) {
        m_services.prompt.show(Title, ClassSpreadsheet::exportFailure(error.message()),
                               Prompt::Icon::Critical);
    }
    applyGridLayout();
}

// Nothing is written at close: every accepted change was written when it was accepted.
void EditClasses::done(int result) {
    m_classes.close();
    m_model->reset();
    QDialog::done(result);
}

} // namespace twl

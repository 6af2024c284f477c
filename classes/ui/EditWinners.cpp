#include "EditWinners.h"

#include "classes/ClassQueries.h"
#include "classes/EndClassRun.h"
#include "common/TWL_public.h"
#include "common/widgets/CellEditorDelegate.h"
#include "store/StoreError.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>

namespace twl {

namespace {

using store::RecordSetModel;

const QString Title = QStringLiteral("Trotwell");
const QString NoEntries = QStringLiteral("No entries found... aborting");

// Sizes are given in twips; 15 twips make a pixel.
int twips(int value) {
    return qRound(value / 15.0);
}

enum GridColumn { SpacerColumn, NumberColumn, NameColumn, ClassColumn, PlaceColumn };

constexpr int Margin = 12;
constexpr int ListWidth = 64;
constexpr int GridLeft = Margin + ListWidth + 16;
constexpr int GridTop = 44;
constexpr int GridHeight = 4300;
constexpr int RowHeight = 300;
constexpr int ScrollBarAllowance = 235;
constexpr int ButtonWidth = 96;
constexpr int ButtonHeight = 30;
constexpr int KeysPictureSize = 44;

std::vector<RecordSetModel::Column> entryColumns() {
    using Column = RecordSetModel::Column;
    return {
        Column{.editable = false},
        Column{.field = QStringLiteral("Show Exh No"),
               .caption = QStringLiteral("Exh. No."),
               .alignment = Qt::AlignHCenter,
               .editable = false},
        Column{.field = QStringLiteral("Show Exh Nam"),
               .caption = QStringLiteral("Exhibitor Name"),
               .editable = false},
        Column{.field = QStringLiteral("Class No"),
               .caption = QStringLiteral("Class"),
               .editable = false,
               .hidden = true},
        Column{.field = QStringLiteral("Place"),
               .caption = QStringLiteral("Place"),
               .alignment = Qt::AlignHCenter},
    };
}

constexpr int ColumnTwips[] = {5, 750, 2985, 0, 750};

QLabel* makeLabel(const QString& text, const QRect& geometry, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    return label;
}

} // namespace

EditWinners::EditWinners(Services& services, QWidget* parent)
    : QDialog(parent), m_services(services) {
    setObjectName(QStringLiteral("EditWinners"));
    setWindowTitle(QStringLiteral("Trotwell  [Edit Winners]"));
    m_model = std::make_unique<RecordSetModel>(m_entries);
    buildControls();
    loadClassList();
}

EditWinners::~EditWinners() {
    // The grid lets go of the model before the record set behind it goes.
    m_grid->setModel(nullptr);
}

void EditWinners::buildControls() {
    makeLabel(QStringLiteral("Select"), QRect(Margin, 4, ListWidth, 18), this)
        ->setAlignment(Qt::AlignCenter);
    makeLabel(QStringLiteral("Class"), QRect(Margin, 22, ListWidth, 18), this)
        ->setAlignment(Qt::AlignCenter);
    m_classList = new QListWidget(this);
    m_classList->setObjectName(QStringLiteral("ClssLst"));
    m_classList->setGeometry(Margin, GridTop, ListWidth, twips(GridHeight));
    connect(m_classList, &QListWidget::currentTextChanged, this, &EditWinners::chooseClass);

    makeLabel(QStringLiteral("This is class:"), QRect(GridLeft, 16, 90, 22), this);
    m_classLabel = makeLabel(QStringLiteral("No."), QRect(GridLeft + 90, 16, 60, 22), this);
    m_classLabel->setObjectName(QStringLiteral("L3"));
    QFont bold = m_classLabel->font();
    bold.setBold(true);
    m_classLabel->setFont(bold);

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("Grid_3"));
    m_grid->move(GridLeft, GridTop);
    m_grid->horizontalHeader()->setMinimumSectionSize(0);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setMinimumSectionSize(0);
    m_grid->verticalHeader()->setDefaultSectionSize(twips(RowHeight));
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                            QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    auto* delegate = new CellEditorDelegate([this] { cellTextChanged(); }, m_grid, Qt::AlignCenter);
    m_grid->setItemDelegate(delegate);
    connect(delegate, &QAbstractItemDelegate::closeEditor, this,
            [this] { m_reenableDoneTimer->start(25); });
    m_grid->installEventFilter(this);
    m_model->setColumns(entryColumns());
    m_model->setBeforeUpdate([](int, int column, const QVariant& value, QString* message) {
        if (column != PlaceColumn || EndClassRun::placeAccepted(value.toString()))
            return true;
        *message = EndClassRun::PlaceRefused;
        return false;
    });
    m_model->setAfterUpdate([this](int row, int) { saveAcceptedPlace(row); });
    m_model->setRefusalHandler([this](const auto& refusal) { showRefusal(refusal); });
    m_grid->setModel(m_model.get());
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { m_model->moveTo(current.row()); });

    const int gridBottom = GridTop + twips(GridHeight);
    buildKeysPicture();
    int widest = twips(ScrollBarAllowance);
    for (int width : ColumnTwips)
        widest += twips(width);
    const int right = GridLeft + widest + 2 * m_grid->frameWidth() + Margin;
    m_doneBut = new QPushButton(QStringLiteral("&Done"), this);
    m_doneBut->setObjectName(QStringLiteral("DoneBut"));
    m_doneBut->setAutoDefault(false); // Enter belongs to the grid's cells
    m_doneBut->setGeometry(right - Margin - ButtonWidth, gridBottom + Margin, ButtonWidth,
                           ButtonHeight);
    connect(m_doneBut, &QPushButton::clicked, this, &EditWinners::accept);
    setFixedSize(right, gridBottom + 2 * Margin + KeysPictureSize);

    m_reenableDoneTimer = new QTimer(this);
    m_reenableDoneTimer->setObjectName(QStringLiteral("Timer5"));
    m_reenableDoneTimer->setSingleShot(true);
    connect(m_reenableDoneTimer, &QTimer::timeout, this, [this] {
        m_reenableDoneTimer->stop();
        m_doneBut->setEnabled(true);
    });
}

// Two key caps, Enter and Esc, with what they do beside them.
void EditWinners::buildKeysPicture() {
    const int top = GridTop + twips(GridHeight) + Margin;
    QPixmap keys(KeysPictureSize, KeysPictureSize);
    keys.fill(Qt::transparent);
    {
        QPainter painter(&keys);
        painter.setRenderHint(QPainter::Antialiasing);
        QFont font = painter.font();
        font.setPixelSize(9);
        painter.setFont(font);
        for (const auto& [y, caption] : {std::pair{1, "Enter"}, std::pair{23, "Esc"}}) {
            const QRectF cap(1, y, 42, 20);
            painter.setPen(QColor(96, 96, 96));
            painter.setBrush(QColor(236, 236, 236));
            painter.drawRoundedRect(cap, 3, 3);
            painter.setPen(Qt::black);
            painter.drawText(cap, Qt::AlignCenter, QString::fromLatin1(caption));
        }
    }
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("KeysPicture"));
    picture->setPixmap(keys);
    picture->setGeometry(GridLeft, top, KeysPictureSize, KeysPictureSize);
    makeLabel(QStringLiteral("Enter"), QRect(GridLeft + 52, top, 100, 22), this);
    makeLabel(QStringLiteral("ESC to cancel"), QRect(GridLeft + 52, top + 22, 100, 22), this);
}

void EditWinners::loadClassList() {
    QStringList classes;
    try {
        classes = ClassQueries::endableClasses(m_services.shared.session.ShowConnString,
                                               m_services.shared.session.TotClassUsed);
    } catch (const store::StoreError& error) {
        m_services.prompt.show(
            Title, QStringLiteral("The classes of the show cannot be read.\n\n") + error.message(),
            Prompt::Icon::Critical);
        m_result.giveUp();
        return;
    }
    if (classes.isEmpty()) {
        m_services.prompt.show(Title, NoEntries, Prompt::Icon::Exclamation);
        m_result.giveUp();
        return;
    }
    m_classList->addItems(classes);
    m_classList->setCurrentRow(0);
}

void EditWinners::chooseClass(const QString& classNumber) {
    if (classNumber.isEmpty())
        return;
    try {
        m_entries.open(ClassQueries::classEntriesQuery(ClassQueries::classNumber(classNumber)),
                       m_services.shared.session.ShowConnString);
    } catch (const store::StoreError& error) {
        m_entries.close();
        m_services.prompt.show(
            Title,
            QStringLiteral("The entries of class %1 cannot be read.\n\n").arg(classNumber) +
                error.message(),
            Prompt::Icon::Critical);
    }
    if (m_entries.isOpen() && m_entries.recordCount() == 0) {
        m_services.prompt.show(Title, NoEntries, Prompt::Icon::Exclamation);
        m_result.giveUp();
    }
    if (m_entries.isOpen())
        m_entries.moveFirst();
    m_classLabel->setText(classNumber);
    m_model->reset();
    applyGridLayout();
    if (m_model->rowCount() > 0)
        m_grid->setCurrentIndex(m_model->index(0, PlaceColumn));
    m_reenableDoneTimer->start(25);
}

void EditWinners::applyGridLayout() {
    int width = 2 * m_grid->frameWidth();
    for (int column = 0; column < m_model->columnCount(); ++column) {
        m_grid->setColumnWidth(column, twips(ColumnTwips[column]));
        m_grid->setColumnHidden(column, m_model->isHidden(column));
        width += m_grid->isColumnHidden(column) ? 0 : twips(ColumnTwips[column]);
    }
    const int height = twips(GridHeight);
    const int rowsShown =
        (height - 2 * m_grid->frameWidth() - m_grid->horizontalHeader()->sizeHint().height()) /
        twips(RowHeight);
    const bool scrolls = m_model->rowCount() > rowsShown;
    if (scrolls)
        width += std::max(twips(ScrollBarAllowance),
                          style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_grid));
    m_grid->setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    m_grid->resize(width, height);
}

// Writes the accepted place (with anything else pending) and stays on the same entry.
void EditWinners::saveAcceptedPlace(int row) {
    const store::RecordSet::Bookmark kept = m_model->bookmarkAt(row);
    m_entries.updateBatch();
    m_entries.requery();
    m_entries.setBookmark(kept);
    m_reenableDoneTimer->start(25);
    applyGridLayout();
}

void EditWinners::showRefusal(const RecordSetModel::Refusal& refusal) {
    if (refusal.reason == RecordSetModel::Refusal::Reason::WriteFailed) {
        m_services.prompt.show(Title,
                               QStringLiteral("The place could not be written to the show file "
                                              "and has been taken back.\n\n") +
                                   refusal.message,
                               Prompt::Icon::Critical);
        return;
    }
    m_services.prompt.show(Title, EndClassRun::PlaceRefused, Prompt::Icon::Exclamation);
}

void EditWinners::cellTextChanged() {
    m_reenableDoneTimer->stop();
    m_doneBut->setEnabled(false);
}

bool EditWinners::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_grid && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        // Esc belongs to the grid; it never closes the screen.
        m_reenableDoneTimer->start(25);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void EditWinners::mouseReleaseEvent(QMouseEvent* event) {
    m_reenableDoneTimer->start(25);
    QDialog::mouseReleaseEvent(event);
}

// Nothing is written at close: every accepted place was written when it was accepted.
void EditWinners::done(int result) {
    m_entries.close();
    m_model->reset();
    QDialog::done(result);
}

} // namespace twl

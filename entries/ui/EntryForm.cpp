#include "EntryForm.h"

#include "entries/SortKeys.h"
#include "store/RecordSet.h"
#include "store/StoreError.h"

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVariantAnimation>

#include <functional>

namespace twl {

QColor colourFromBgr(quint32 bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

namespace {

// Layout in pixels, the rows following the entry label rows that the sort marker points at.
constexpr int LabelLeft = 18;
constexpr int LabelWidth = 96;
constexpr int FieldLeft = LabelLeft + LabelWidth + 4;
constexpr int FieldHeight = 21;
constexpr int ButtonTop = 12;
constexpr int ButtonWidth = 76;
constexpr int ButtonHeight = 26;
constexpr int SmallButtonSize = 21;
constexpr int FrameMargin = 2;
constexpr int BlinkIntervalMs = 500;
constexpr int NoTextLimit = 32767;

// The quick-name box and list, in twips as the form is designed.
constexpr int QuickBoxSizeTwips = 285;
constexpr int QuickBoxGrownTwips = 1440;
constexpr int QuickBoxExtraWidthTwips = 1760;
constexpr int QuickListLeftTwips = 2760;
constexpr int QuickListTopTwips = 1080;
constexpr int QuickListClosedTwips = 255;
constexpr int QuickBoxGrowthMs = 200;

int fieldTop(int index) {
    // The 14-pixel sort marker sits level with the middle of the field.
    return twipsToPixels(sortIndicatorTopTwips(index + 1)) - 3;
}

int fieldWidth(int index) {
    return twipsToPixels(entryFieldDef(index).widthTwips);
}

} // namespace

// `Bx1`: a coloured rectangle drawn around one field; clicks pass through it.
class FieldFrame : public QWidget {
public:
    explicit FieldFrame(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }
    void setColour(const QColor& colour) {
        m_colour = colour;
        update();
    }
    QColor colour() const { return m_colour; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(QPen(m_colour, FrameMargin));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(1, 1, -1, -1));
    }

private:
    QColor m_colour;
};

// `DLbox`: the small picture of a list that appears when earlier names exist.
class QuickNameButton : public QWidget {
public:
    explicit QuickNameButton(QWidget* parent) : QWidget(parent) {
        setToolTip(QStringLiteral("Names already entered with this number (double-click)"));
        setCursor(Qt::PointingHandCursor);
        hide();
    }
    std::function<void()> onDoubleClick;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        painter.setPen(QColor(40, 70, 140));
        painter.setBrush(QColor(255, 250, 205));
        painter.drawRoundedRect(box, 3, 3);
        // Three lines of names, scaled with the box as it grows.
        const qreal step = box.height() / 4.0;
        painter.setPen(QPen(QColor(40, 70, 140), qMax<qreal>(1.0, step / 4.0)));
        for (int line = 1; line <= 3; ++line) {
            const qreal y = box.top() + step * line;
            painter.drawLine(QPointF(box.left() + step * 0.8, y), QPointF(box.right() - 3, y));
        }
    }
    void mouseDoubleClickEvent(QMouseEvent*) override {
        if (onDoubleClick)
            onDoubleClick();
    }
};

EntryForm::EntryForm(EntryState& state, QWidget* parent) : QWidget(parent), m_state(state) {
    setObjectName(QStringLiteral("EntryForm"));
    buildFields();
    buildButtons();
    buildQuickNames();
    m_frame = new FieldFrame(this);
    m_frame->setObjectName(QStringLiteral("Bx1"));
    m_blinkTimer = new QTimer(this);
    m_blinkTimer->setObjectName(QStringLiteral("Timer2"));
    m_blinkTimer->setInterval(BlinkIntervalMs);

    setMinimumSize(FieldLeft + fieldWidth(1) + 2 * SmallButtonSize,
                   fieldTop(EntryFieldCount - 1) + FieldHeight + 8);
    for (QWidget* widget : findChildren<QWidget*>()) {
        if (widget->focusPolicy() != Qt::NoFocus)
            m_tabStops.emplace_back(widget, widget->focusPolicy());
    }
}

EntryForm::~EntryForm() {
    // The children outlive this part of the form while QWidget deletes them: nothing they do
    // from here on may reach the form.
    m_closing = true;
    m_growth->stop();
    for (QObject* child : findChildren<QObject*>()) {
        child->removeEventFilter(this);
        child->disconnect(this);
    }
    m_quickNameButton->onDoubleClick = nullptr;
    m_quickNames->removeEventFilter(this);
    m_quickNames->disconnect(this);
}

QPoint EntryForm::overlayPoint(const QPoint& inForm) const {
    QWidget* overlay = m_quickNames->parentWidget();
    return overlay == this ? inForm : mapTo(overlay, inForm);
}

void EntryForm::showQuickNameButton() {
    const int boxSize = twipsToPixels(QuickBoxSizeTwips);
    const QPoint place(FieldLeft + fieldWidth(ExhibitorNoField) + 4,
                       fieldTop(ExhibitorNoField) + (FieldHeight - boxSize) / 2);
    m_quickNameButton->setGeometry(QRect(overlayPoint(place), QSize(boxSize, boxSize)));
    m_quickNameButton->raise();
    m_quickNameButton->show();
}

void EntryForm::buildFields() {
    for (int i = 0; i < EntryFieldCount; ++i) {
        auto* label = new QLabel(entryFieldLabel(i), this);
        label->setObjectName(QStringLiteral("TXT1Label_%1").arg(i));
        label->setGeometry(LabelLeft, fieldTop(i), LabelWidth, FieldHeight);
        label->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);

        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("TXT1_%1").arg(i));
        field->setGeometry(FieldLeft, fieldTop(i), fieldWidth(i), FieldHeight);
        field->setAccessibleName(label->text());
        label->setBuddy(field);
        if (i == 0)
            m_fieldPalette = field->palette();
        m_fields[std::size_t(i)] = field;
        field->installEventFilter(this);
        connect(field, &QLineEdit::textChanged, this, [this, i] { emit fieldChanged(i); });
        connect(field, &QLineEdit::returnPressed, this, [this, i] { emit returnPressed(i); });
    }
    for (int i = 0; i < EntryFieldCount; ++i) {
        const EntryFieldDef& def = entryFieldDef(i);
        if (def.windowColour)
            setFieldWindowColour(i);
        else
            setFieldBackground(i, def.background);
        if (i > 0)
            setTabOrder(field(i - 1), field(i));
    }
}

void EntryForm::buildButtons() {
    const auto button = [this](const char* name, const QString& caption) {
        auto* created = new QPushButton(caption, this);
        created->setObjectName(QString::fromLatin1(name));
        created->setEnabled(false);
        created->setAutoDefault(false);
        return created;
    };
    m_ok = button("OKBut", QStringLiteral("&OK"));
    m_update = button("UpdBut", QStringLiteral("&Update"));
    m_cancel = button("CanBut", QStringLiteral("&Cancel"));
    int left = LabelLeft;
    for (QPushButton* b : {m_ok, m_update, m_cancel}) {
        b->setGeometry(left, ButtonTop, ButtonWidth, ButtonHeight);
        left += ButtonWidth + 6;
    }
    m_buttonPalette = m_ok->palette();
    setTabOrder(field(EntryFieldCount - 1), m_ok);
    setTabOrder(m_ok, m_update);
    setTabOrder(m_update, m_cancel);

    m_multiClass = button("MultiClsBut", QStringLiteral("M"));
    m_multiClass->setToolTip(QStringLiteral("Enter this exhibitor in several classes"));
    m_multiClass->setGeometry(FieldLeft + fieldWidth(ClassNoField) + 4, fieldTop(ClassNoField),
                              SmallButtonSize, SmallButtonSize);
    m_member = button("LookUpMem", QStringLiteral("L"));
    m_member->setToolTip(QStringLiteral("Fill the entry from the member with this number"));
    m_member->setGeometry(FieldLeft + fieldWidth(MemberNoField) + 4, fieldTop(MemberNoField),
                          SmallButtonSize, SmallButtonSize);
    for (QPushButton* b : {m_multiClass, m_member})
        b->setFocusPolicy(Qt::NoFocus);
}

void EntryForm::buildQuickNames() {
    // Both lie over the window, not inside the form: grown, they reach over the tabs.
    QWidget* overlay = parentWidget() ? parentWidget()->window() : this;
    m_quickNameButton = new QuickNameButton(overlay);
    m_quickNameButton->setObjectName(QStringLiteral("DLbox"));
    m_quickNameButton->onDoubleClick = [this] { openQuickNames(); };

    m_quickNames = new QListWidget(overlay);
    m_quickNames->setObjectName(QStringLiteral("QckNlist"));
    m_quickNames->hide();
    m_quickNames->installEventFilter(this);
    connect(m_quickNames, &QListWidget::itemDoubleClicked, this, [this] { chooseQuickName(); });

    m_growth = new QVariantAnimation(this);
    m_growth->setStartValue(QuickBoxSizeTwips);
    m_growth->setEndValue(QuickBoxGrownTwips);
    m_growth->setDuration(QuickBoxGrowthMs);
    connect(m_growth, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const int height = value.toInt();
        m_quickNameButton->resize(twipsToPixels(height + QuickBoxExtraWidthTwips),
                                  twipsToPixels(height));
    });
    connect(m_growth, &QVariantAnimation::finished, this, [this] {
        m_quickNames->setGeometry(QRect(overlayPoint(QPoint(twipsToPixels(QuickListLeftTwips),
                                                            twipsToPixels(QuickListTopTwips))),
                                        m_quickNameButton->size()));
        m_quickNames->raise();
        m_quickNames->show();
        m_quickNames->setFocus(Qt::OtherFocusReason);
        if (m_quickNames->currentRow() < 0 && m_quickNames->count() > 0)
            m_quickNames->setCurrentRow(0);
        const int boxSize = twipsToPixels(QuickBoxSizeTwips);
        m_quickNameButton->resize(boxSize, boxSize);
    });
}

QWidget* EntryForm::quickNameButton() const {
    return m_quickNameButton;
}

QString EntryForm::text(int index) const {
    return field(index)->text();
}

void EntryForm::setText(int index, const QString& text) {
    field(index)->setText(text);
}

EntryTexts EntryForm::texts() const {
    EntryTexts all;
    for (int i = 0; i < EntryFieldCount; ++i)
        all[std::size_t(i)] = text(i);
    return all;
}

bool EntryForm::isFieldEnabled(int index) const {
    return !field(index)->testAttribute(Qt::WA_Disabled);
}

void EntryForm::showEntryFields(int mode, const store::RecordSet* entries) {
    m_state.fillingFields = true;
    for (QLineEdit* f : m_fields)
        f->clear();
    if (mode == 1 && entries) {
        try {
            for (int i = 0; i < EntryFieldCount; ++i)
                setText(i, entries->value(entryFieldName(i)).toText());
            if (m_exhibitorNo)
                m_exhibitorNo->setText(text(ExhibitorNoField));
        } catch (const store::StoreError&) {
            // An empty row leaves empty fields.
        }
        double classNo = 0;
        m_state.shownClass =
            isNumeric(text(ClassNoField), &classNo) ? qint16(roundHalfEven(classNo)) : qint16(0);
    }
    m_state.fillingFields = false;
}

void EntryForm::enableEntryFields(bool enabled) {
    for (QLineEdit* f : m_fields)
        f->setEnabled(enabled);
}

void EntryForm::setFieldBackground(int index, quint32 bgr) {
    QPalette palette = m_fieldPalette;
    palette.setColor(QPalette::Base, colourFromBgr(bgr));
    field(index)->setPalette(palette);
}

void EntryForm::setFieldWindowColour(int index) {
    field(index)->setPalette(m_fieldPalette);
}

void EntryForm::setFieldLimits(const store::RecordSet& entries) {
    for (int i = 0; i < EntryFieldCount; ++i) {
        const int column = store::findField(entries.fields(), entryFieldName(i));
        const int limit = column < 0 ? 0 : entries.fields()[std::size_t(column)].maxLength;
        field(i)->setMaxLength(limit > 0 ? limit : NoTextLimit);
    }
}

void EntryForm::placeFrameAround(int index, quint32 bgr) {
    m_frame->setColour(colourFromBgr(bgr));
    m_frame->setGeometry(
        field(index)->geometry().adjusted(-FrameMargin, -FrameMargin, FrameMargin, FrameMargin));
    m_frame->raise();
    m_frame->show();
}

void EntryForm::showEditFrame(int index) {
    placeFrameAround(index, BlueBgr);
}

void EntryForm::markField(int index) {
    // The focus moves first: leaving another field hides the frame.
    field(index)->setFocus(Qt::OtherFocusReason);
    placeFrameAround(index, RedBgr);
}

void EntryForm::hideFieldFrame() {
    m_state.frameBlinking = false;
    m_frame->hide();
}

void EntryForm::toggleFieldFrame() {
    m_frame->setVisible(!m_frame->isVisible());
}

void EntryForm::setCaptionShown(QPushButton* button, bool shown) {
    QPalette palette = m_buttonPalette;
    if (!shown) {
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            palette.setColor(group, QPalette::ButtonText, Qt::transparent);
    }
    button->setPalette(palette);
}

void EntryForm::restoreTabStops() {
    for (const auto& [widget, policy] : m_tabStops)
        widget->setFocusPolicy(policy);
}

void EntryForm::openQuickNames() {
    if (m_growth->state() == QAbstractAnimation::Running)
        return;
    m_quickNameButton->raise();
    m_growth->start();
}

void EntryForm::hideQuickNameList() {
    m_quickNames->hide();
    const int closed = twipsToPixels(QuickListClosedTwips);
    m_quickNames->resize(closed, closed);
}

void EntryForm::chooseQuickName() {
    if (QListWidgetItem* item = m_quickNames->currentItem(); item && item->isSelected())
        emit quickNameChosen(item->text());
}

int EntryForm::fieldIndexOf(const QObject* object) const {
    for (int i = 0; i < EntryFieldCount; ++i) {
        if (m_fields[std::size_t(i)] == object)
            return i;
    }
    return -1;
}

bool EntryForm::eventFilter(QObject* watched, QEvent* event) {
    if (m_closing)
        return false;
    const QEvent::Type type = event->type();
    if (type == QEvent::FocusOut) {
        // Switching to another program or opening a menu is not leaving the field.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
            return false;
    }
    if (watched == m_quickNames) {
        if (type == QEvent::FocusOut) {
            hideQuickNameList();
        } else if (type == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                chooseQuickName();
                return true;
            }
        }
        return false;
    }
    const int index = fieldIndexOf(watched);
    if (index >= 0 && type == QEvent::FocusIn)
        emit fieldFocused(index);
    else if (index >= 0 && type == QEvent::FocusOut)
        emit fieldLeft(index);
    return false;
}

} // namespace twl

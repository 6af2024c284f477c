#include "BadRes.h"

#include "shell/DisplayCheck.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace twl {

namespace {

constexpr int TextWidth = 440;

QLabel* makeExplanation(QWidget* parent) {
    auto* label = new QLabel(
        QStringLiteral(
            "Trotwell requires a screen resolution of at least 800 x 600 with 24 bit True "
            "Color.  You can continue with your current settings if you like however; if your "
            "resolution is too low, items will appear very large and run off the screen.  If "
            "your resolution is too high, items will appear very small and may be hard to "
            "read.  If the color setting is too low, items may not be recognizable.  Laptops "
            "may involve some experimenting."),
        parent);
    label->setObjectName(QStringLiteral("Label1"));
    label->setWordWrap(true);
    label->setFixedWidth(TextWidth);
    return label;
}

// Fixed-pitch so the right-aligned fields line up.
QLineEdit* makeSettingsBox(const DisplayMode& saved, QWidget* parent) {
    auto* box = new QLineEdit(formatSavedMode(saved), parent);
    box->setObjectName(QStringLiteral("TXT1"));
    box->setReadOnly(true);
    box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const int textWidth = box->fontMetrics().horizontalAdvance(box->text());
    box->setMinimumWidth(textWidth + 4 * box->fontMetrics().averageCharWidth());
    box->setCursorPosition(0);
    return box;
}

QPushButton* makeButton(const QString& name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

} // namespace

BadRes::BadRes(const DisplayMode& saved, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Trotwell  [Bad Resolution]"));
    setObjectName(QStringLiteral("BadRes"));

    auto* heading = new QLabel(QStringLiteral("Current Settings"), this);
    heading->setObjectName(QStringLiteral("Label2"));
    QLineEdit* settings = makeSettingsBox(saved, this);

    QPushButton* continueButton =
        makeButton(QStringLiteral("OKBut"), QStringLiteral("&Continue"), this);
    QPushButton* exitButton = makeButton(QStringLiteral("XitBut"), QStringLiteral("E&xit"), this);
    continueButton->setDefault(true);
    connect(continueButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(exitButton, &QPushButton::clicked, this, [this] {
        m_exitChosen = true;
        reject();
    });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(continueButton);
    buttons->addWidget(exitButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addWidget(makeExplanation(this));
    layout->addSpacing(12);
    layout->addWidget(heading);
    layout->addWidget(settings, 0, Qt::AlignLeft);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    continueButton->setFocus();
}

bool BadRes::askToContinue(const DisplayMode& saved, QWidget* parent) {
    BadRes dialog(saved, parent);
    dialog.exec();
    return !dialog.exitChosen();
}

} // namespace twl

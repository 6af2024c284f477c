#pragma once

#include "common/Services.h"
#include "support/CapturePrinter.h"

#include <QDate>
#include <QDialog>
#include <QtTest>

#include <memory>

// A control of a screen by its object name; a name the screen lacks ends the test at once.
template <typename T> T* childOf(const QObject& screen, const QString& name) {
    T* widget = screen.findChild<T*>(name);
    if (!widget)
        qFatal("no child %s", qPrintable(name));
    return widget;
}

// What a test hands the screens it drives: fresh shared values and scripted seams (message
// boxes, file dialogs, a fixed "today", a printer that keeps its pages).
class ScreenSeams {
protected:
    explicit ScreenSeams(QDate today) : m_clock(today) {}

    twl::TWL_public m_shared;
    twl::ScriptedPrompt m_prompt;
    twl::ScriptedFileChooser m_files;
    twl::FixedClock m_clock;
    CapturePrinter m_printer;
    twl::Services m_services{m_prompt, m_files, m_clock, m_printer, m_shared};
};

// The set-up of a test of one screen: the seams, and the screen made and shown for a test
// case, driven by its controls' names.
template <typename Screen = QDialog> class ScreenTest : protected ScreenSeams {
protected:
    using ScreenSeams::ScreenSeams;

    std::unique_ptr<Screen> m_dialog;

    template <typename T> T* child(const QString& name) { return childOf<T>(*m_dialog, name); }
    // Makes the screen (or the kind of it given) and waits until it is shown.
    template <typename Made = Screen> void openScreen() {
        m_dialog = std::make_unique<Made>(m_services);
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    }
};

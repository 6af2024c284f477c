#include "EntryTabs.h"

#include "common/MainWindowFrame.h"
#include "common/widgets/InfoLabels.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace twl {

namespace {

QTableView* grid(const char* name, QWidget* parent) {
    auto* view = new QTableView(parent);
    view->setObjectName(QString::fromLatin1(name));
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->verticalHeader()->setDefaultSectionSize(20);
    return view;
}

QListWidget* narrowList(const QString& name, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setMinimumWidth(30);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return list;
}

QWidget* page(const char* name, QTabWidget& strip) {
    auto* widget = new QWidget(&strip);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QWidget* entriesPage(QTabWidget& strip, EntryTabs& tabs) {
    QWidget* entries = page("tabEntries", strip);
    auto* layout = new QGridLayout(entries);
    layout->setHorizontalSpacing(10);
    // Each class list sits tight against its count list under one heading.
    constexpr int Columns = 3;
    for (int i = 0; i < ClassListCount; ++i) {
        auto* pair = new QVBoxLayout;
        pair->setSpacing(2);
        auto* heading = captionLabel(QStringLiteral("Class - Entries"), entries);
        heading->setAlignment(Qt::AlignCenter);
        pair->addWidget(heading);
        auto* lists = new QHBoxLayout;
        lists->setSpacing(0);
        tabs.classNumbers[std::size_t(i)] = narrowList(QStringLiteral("T1_%1").arg(i), entries);
        tabs.classCounts[std::size_t(i)] = narrowList(QStringLiteral("L_%1").arg(i + 1), entries);
        lists->addWidget(tabs.classNumbers[std::size_t(i)]);
        lists->addWidget(tabs.classCounts[std::size_t(i)]);
        pair->addLayout(lists, 1);
        layout->addLayout(pair, i / Columns, i % Columns);
    }
    return entries;
}

QWidget* exhibitorPage(QTabWidget& strip, EntryTabs& tabs) {
    QWidget* exhibitor = page("tabExhibitor", strip);
    auto* layout = new QVBoxLayout(exhibitor);
    auto* header = new QHBoxLayout;
    header->addWidget(captionLabel(QStringLiteral("Records"), exhibitor));
    tabs.exhibitorRecords = valueLabel("ExhRecCnt", exhibitor);
    header->addWidget(tabs.exhibitorRecords);
    header->addStretch(1);
    tabs.exhibitorNo = valueLabel("ExhNo", exhibitor, QStringLiteral("Blank"));
    header->addWidget(tabs.exhibitorNo);
    // The office's word on the exhibitor's account, and the way to it.
    tabs.accountNote = new QLabel(exhibitor);
    tabs.accountNote->setObjectName(QStringLiteral("ExhAcctNote"));
    header->addWidget(tabs.accountNote);
    tabs.accountButton = new QPushButton(QStringLiteral("Account..."), exhibitor);
    tabs.accountButton->setObjectName(QStringLiteral("ExhAcctBut"));
    tabs.accountButton->setAutoDefault(false);
    header->addWidget(tabs.accountButton);
    layout->addLayout(header);
    tabs.exhibitorGrid = grid("Grid_E", exhibitor);
    layout->addWidget(tabs.exhibitorGrid, 1);
    return exhibitor;
}

QWidget* showInfoPage(QTabWidget& strip, EntryTabs& tabs) {
    QWidget* info = page("tabShowInfo", strip);
    auto* layout = new QGridLayout(info);

    layout->addWidget(captionLabel(QStringLiteral("Description for Class "), info), 0, 0);
    tabs.classId = new QLineEdit(info);
    tabs.classId->setObjectName(QStringLiteral("clID"));
    tabs.classId->setMaximumWidth(80);
    layout->addWidget(tabs.classId, 0, 1);
    tabs.className = valueLabel("CDbx", info);
    tabs.className->setWordWrap(true);
    layout->addWidget(tabs.className, 1, 0, 1, 3);

    struct Total {
        const char* caption;
        const char* name;
        QLabel* EntryTabs::*label;
    };
    const Total totals[] = {
        {"Last Class Score Sheet  Printed", "LstScrPrnt", &EntryTabs::lastScoreSheet},
        {"Total Classes Used", "TotClsUsd", &EntryTabs::classesUsed},
        {"Average Per Class", "AveCls", &EntryTabs::average},
        {"Total Entries", "TotEn", &EntryTabs::totalEntries},
    };
    int row = 2;
    for (const Total& total : totals) {
        layout->addWidget(captionLabel(QString::fromLatin1(total.caption), info), row, 0);
        tabs.*total.label = valueLabel(total.name, info);
        layout->addWidget(tabs.*total.label, row, 1);
        ++row;
    }
    layout->setColumnStretch(2, 1);
    layout->setRowStretch(row, 1);
    return info;
}

QWidget* searchPage(QTabWidget& strip, EntryTabs& tabs) {
    QWidget* search = page("tabSearch", strip);
    auto* layout = new QVBoxLayout(search);
    auto* header = new QGridLayout;
    header->addWidget(captionLabel(QStringLiteral("Search for"), search), 0, 0);
    tabs.searchText = valueLabel("SrxhWrd", search);
    header->addWidget(tabs.searchText, 0, 1, 1, 2);
    header->addWidget(captionLabel(QStringLiteral("Records found"), search), 1, 0);
    tabs.searchCount = valueLabel("SrchRecCnt", search);
    header->addWidget(tabs.searchCount, 1, 1);
    header->setColumnStretch(2, 1);
    layout->addLayout(header);
    tabs.searchGrid = grid("Grid_S", search);
    layout->addWidget(tabs.searchGrid, 1);
    return search;
}

} // namespace

EntryTabs addEntryTabs(MainWindowFrame& frame) {
    QTabWidget& strip = *frame.tabStrip();
    EntryTabs tabs;
    frame.insertTab(0, entriesPage(strip, tabs), QStringLiteral("Entries"));
    frame.insertTab(1, exhibitorPage(strip, tabs), QStringLiteral("Exhibitor"));
    frame.insertTab(2, showInfoPage(strip, tabs), QStringLiteral("Show Info"));
    frame.insertTab(3, searchPage(strip, tabs), QStringLiteral("Search"));
    return tabs;
}

} // namespace twl

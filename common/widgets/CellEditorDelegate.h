#pragma once

#include <QStyledItemDelegate>
#include <functional>

namespace twl {

// A grid's cell editor: a frameless line edit that reports every change the user types into it
// (the screens disable their buttons while a cell holds an unaccepted change). Its text is
// aligned as the cell is, or as given.
class CellEditorDelegate : public QStyledItemDelegate {
public:
    CellEditorDelegate(std::function<void()> textEdited, QObject* parent,
                       Qt::Alignment alignment = {});

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;

private:
    std::function<void()> m_textEdited;
    Qt::Alignment m_alignment;
};

} // namespace twl

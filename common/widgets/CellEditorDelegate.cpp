#include "CellEditorDelegate.h"

#include <QLineEdit>

namespace twl {

CellEditorDelegate::CellEditorDelegate(std::function<void()> textEdited, QObject* parent,
                                       Qt::Alignment alignment)
    : QStyledItemDelegate(parent), m_textEdited(std::move(textEdited)), m_alignment(alignment) {}

QWidget* CellEditorDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                          const QModelIndex& index) const {
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setAlignment(m_alignment ? m_alignment
                                     : Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt()));
    QObject::connect(editor, &QLineEdit::textEdited, editor,
                     [callback = m_textEdited] { callback(); });
    return editor;
}

} // namespace twl

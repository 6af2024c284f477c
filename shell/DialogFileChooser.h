#pragma once

#include "common/FileChooser.h"

class QWidget;

namespace twl {

// The platform's open and save file dialogs.
class DialogFileChooser : public FileChooser {
public:
    QString choose(const Request& request) override;
    void setParentWindow(QWidget* parent) { m_parent = parent; }

private:
    QWidget* m_parent = nullptr;
};

} // namespace twl

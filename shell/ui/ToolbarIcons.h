#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

namespace twl {

// The toolbar's pictures, drawn in code: a coloured set for usable buttons and a greyed set for
// disabled ones. A key that is not on the toolbar gives an empty (transparent) picture.
namespace ToolbarIcons {

// The coloured picture of a button, `size` pixels square.
QImage colorImage(const QString& key, int size);
// The same picture greyed and faded, as shown for a disabled button.
QImage grayImage(const QString& key, int size);
// Both sets at the toolbar's sizes: colour as the Normal mode, grey as the Disabled mode.
QIcon icon(const QString& key);

} // namespace ToolbarIcons

} // namespace twl

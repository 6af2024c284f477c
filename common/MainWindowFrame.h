#pragma once

#include "CommandStates.h"

class QLabel;
class QString;
class QTabWidget;
class QWidget;

namespace twl {

struct Services;

// What the screens inside the main window may ask of its frame: the window-wide helpers, the
// command states, the tab strip the screens put their own pages on, and the area the entry form
// goes into. The screens build and own their controls.
class MainWindowFrame {
public:
    virtual ~MainWindowFrame() = default;

    virtual QWidget& window() = 0;
    virtual Services& services() const = 0;

    virtual ShowState showState() const = 0;
    virtual void applyShowState(ShowState state, bool justOpened = false) = 0;
    virtual void enableTabStrip(bool enabled) = 0;
    virtual void lockFrame(bool locked, bool showHasEntries) = 0;
    virtual void setAllTabStops(bool tabStop) = 0;
    virtual void restoreTabStops() = 0;

    // The View sort key, 1 to 9, and the marker beside its entry-field label.
    virtual int sortKeyIndex() const = 0;
    virtual void setSortKeyIndex(int index) = 0;
    virtual void setSortIndicatorRow(int labelRow) = 0;

    virtual QLabel* lastActionLabel() const = 0;
    virtual QWidget* entryFormArea() const = 0;
    // `SSTab1`: the frame enables and disables it; a screen puts its pages on it with insertTab,
    // which also takes the page's controls into the frame's tab stops.
    virtual QTabWidget* tabStrip() const = 0;
    virtual void insertTab(int index, QWidget* page, const QString& caption) = 0;
};

} // namespace twl

#pragma once

#include <QString>
#include <QtGlobal>
#include <array>

namespace twl {

// The board of class boxes of the multi-class entry: which classes can be ticked, which are
// ticked, and why the others cannot be chosen. No widgets: the dialog paints from it.
class MultiClassBoard {
public:
    static constexpr int BoxCount = 150;

    enum class Box {
        Unusable, // above the classes used by the show
        Open,     // can be ticked
        Entered,  // the typed exhibitor number already has an entry in the class (black)
        Ended,    // the class has been ended (red)
    };

    // What the show file says of one class: its row of MultiSelect_tbl and its ended flag.
    struct ClassFlags {
        bool selected = false;
        bool otherExhibitor = false;
        bool ended = false;
    };
    using Flags = std::array<ClassFlags, BoxCount + 1>; // index = class number; 0 unused

    // Fills the board for classes 1 to totClassUsed: the ticks of the last accepted choice,
    // then the entered and ended classes disabled (an ended class in which the exhibitor is
    // also entered shows as ended).
    void fill(int totClassUsed, const Flags& flags);

    Box box(int classNo) const;
    bool isTicked(int classNo) const;
    // Toggles an open box; a disabled box does nothing (false).
    bool toggle(int classNo);
    // Unticks every open box; disabled boxes are left as they are.
    void clearAllNew();

    int classesUsed() const { return m_classesUsed; }
    qint16 tickedCount() const { return m_ticked; }
    bool anyTicked() const;
    // "2  disabled"
    QString disabledCaption() const;

private:
    bool inRange(int classNo) const { return classNo >= 1 && classNo <= m_classesUsed; }

    int m_classesUsed = 0;
    std::array<Box, BoxCount + 1> m_boxes{};
    std::array<bool, BoxCount + 1> m_ticks{};
    qint16 m_ticked = 0;
    int m_disabled = 0;
};

} // namespace twl

#include "MultiClassBoard.h"

#include <algorithm>

namespace twl {

void MultiClassBoard::fill(int totClassUsed, const Flags& flags) {
    m_classesUsed = std::clamp(totClassUsed, 0, BoxCount);
    m_boxes.fill(Box::Unusable);
    m_ticks.fill(false);
    m_ticked = 0;
    m_disabled = 0;
    for (int i = 1; i <= m_classesUsed; ++i) {
        const ClassFlags& f = flags[std::size_t(i)];
        Box box = Box::Open;
        if (f.otherExhibitor)
            box = Box::Entered;
        if (f.ended)
            box = Box::Ended;
        m_boxes[std::size_t(i)] = box;
        if (box != Box::Open) {
            ++m_disabled;
        } else if (f.selected) {
            m_ticks[std::size_t(i)] = true;
            ++m_ticked;
        }
    }
}

MultiClassBoard::Box MultiClassBoard::box(int classNo) const {
    return inRange(classNo) ? m_boxes[std::size_t(classNo)] : Box::Unusable;
}

bool MultiClassBoard::isTicked(int classNo) const {
    return inRange(classNo) && m_ticks[std::size_t(classNo)];
}

bool MultiClassBoard::toggle(int classNo) {
    if (box(classNo) != Box::Open)
        return false;
    bool& tick = m_ticks[std::size_t(classNo)];
    tick = !tick;
    m_ticked = qint16(m_ticked + (tick ? 1 : -1));
    return true;
}

void MultiClassBoard::clearAllNew() {
    for (int i = 1; i <= m_classesUsed; ++i) {
        if (m_boxes[std::size_t(i)] == Box::Open)
            m_ticks[std::size_t(i)] = false;
    }
    m_ticked = 0;
}

bool MultiClassBoard::anyTicked() const {
    return std::any_of(m_ticks.begin(), m_ticks.end(), [](bool t) { return t; });
}

QString MultiClassBoard::disabledCaption() const {
    return QString::number(m_disabled) + QStringLiteral("  disabled");
}

} // namespace twl
